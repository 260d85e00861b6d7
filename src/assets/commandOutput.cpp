// Inventory commands print one short line into /tmp/output.txt on the
// device; the library reads it back from there.
#define IXO_MODULE "ImagingAsset"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "assets/assetsInternal.h"
#include "device/device.h"
#include "handles.h"
#include "log.h"

namespace assets {

int readCommandOutput(const char *command, char *output) {
    // Made afresh: what stood at that name must not receive the output.
    std::string error;
    if (!device::createCaptureFile(kCommandOutputFile, &error)) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
        return -1;
    }
    std::string path = device::devicePath(kCommandOutputFile);
    std::string line = std::string(command) + " > " + kCommandOutputFile;
    if (device::runDeviceCommand(line) == -1) {
        IXO_LOG(IXO_ERROR, "cannot run '%s'", line.c_str());
        return -1;
    }
    handles::Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        IXO_LOG(IXO_ERROR, "cannot open %s: %s", path.c_str(), std::strerror(errno));
        return -1;
    }
    size_t length = 0;
    while (length < kCommandOutputSize - 1) {
        ssize_t count = ::read(file.fd, output + length, kCommandOutputSize - 1 - length);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        length += static_cast<size_t>(count);
    }
    output[length] = '\0';
    if (length == kCommandOutputSize - 1) {
        char extra;
        if (::read(file.fd, &extra, 1) == 1) {
            IXO_LOG(IXO_PROGRESS, "output of '%s' cut to %zu bytes", command, length);
        }
    }
    return 0;
}

}  // namespace assets
