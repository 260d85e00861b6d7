// The live speed and duplex of a wired interface, as the device's mii-tool
// reports them in the first line of its output ("eth0: negotiated
// 100baseTx-FD, link ok"). The report goes through a capture file named
// after the agent's process, since the tool runs as root through sudo.
#define IXO_MODULE "DeviceAsset"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "device/device.h"
#include "handles.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

struct LineFree {
    void operator()(char *line) const { std::free(line); }
};

void removeCaptureFile(const std::string &path) {
    std::string removal = device::sudoSuLine("rm -f " + device::shellQuote(path));
    IXO_LOG(IXO_TRACE, "about to execute '%s'", removal.c_str());
    int status = device::runDeviceCommand(removal);
    if (status != 0) {
        IXO_LOG(IXO_ERROR, "Error executing '%s'", removal.c_str());
    }
}

}  // namespace

uint32_t speedInText(const char *text) {
    if (std::strstr(text, "1000") != nullptr) {
        return 1000;
    }
    if (std::strstr(text, "100") != nullptr) {
        return 100;
    }
    if (std::strstr(text, "10") != nullptr) {
        return 10;
    }
    return 0;
}

void readLinkLine(const char *line, NetworkInterface *net) {
    net->linkSpeed = speedInText(line);
    if (std::strstr(line, "HD") != nullptr) {
        net->linkDuplex = 1;
    } else if (std::strstr(line, "FD") != nullptr) {
        net->linkDuplex = 2;
    } else {
        net->linkDuplex = 0;
    }
}

void getWiredNetworkStatus(const char *sectionName, NetworkInterface *net) {
    if (sectionName == nullptr) {
        IXO_LOG(IXO_ERROR, "networkName passed in as NULL");
        return;
    }
    IXO_LOG(IXO_TRACE, "Getting Network Speed for interface '%s'", sectionName);
    const char *dash = std::strchr(sectionName, '-');
    if (dash == nullptr) {
        IXO_LOG(IXO_ERROR, "unexpected error with networkName '%s'", sectionName);
        return;
    }
    std::string interfaceName = dash + 1;
    IXO_LOG(IXO_TRACE, "tempNetwork '%s'", interfaceName.c_str());

    // The interface name comes from outside the library: quoted, it reaches
    // mii-tool as one argument and nothing else.
    std::string path = "/tmp/networkSpeed" + std::to_string(static_cast<long>(getpid()));
    // Root's shell writes the report: the file is made afresh first, so that
    // nothing planted at that name receives it.
    std::string error;
    if (!device::createCaptureFile(path, &error)) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
        return;
    }
    std::string command = device::sudoSuLine("/sbin/mii-tool " + device::shellQuote(interfaceName) +
                                             " > " + device::shellQuote(path));
    IXO_LOG(IXO_TRACE, "about to execute '%s'", command.c_str());
    if (device::runDeviceCommand(command) != 0) {
        IXO_LOG(IXO_ERROR, "Error executing '%s'", command.c_str());
        removeCaptureFile(path);
        return;
    }

    IXO_LOG(IXO_TRACE, "about to open network file '%s'", path.c_str());
    handles::File file(std::fopen(device::devicePath(path).c_str(), "re"));
    if (!file) {
        IXO_LOG(IXO_ERROR, "Error opening file '%s'", path.c_str());
        removeCaptureFile(path);
        return;
    }
    char *buffer = nullptr;
    size_t capacity = 0;
    errno = 0;
    ssize_t length = getline(&buffer, &capacity, file.get());
    std::unique_ptr<char, LineFree> line(buffer);
    if (length > 0) {
        readLinkLine(line.get(), net);
        // The report without its line end, for the log.
        std::string report(line.get(), static_cast<size_t>(length));
        while (!report.empty() && (report.back() == '\n' || report.back() == '\r')) {
            report.pop_back();
        }
        IXO_LOG(IXO_PROGRESS, "mii-tool reports '%s'", report.c_str());
    } else if (std::ferror(file.get())) {
        IXO_LOG(IXO_ERROR, "Error reading file '%s'", path.c_str());
    }
    file.reset();
    removeCaptureFile(path);
}

}  // namespace platform
