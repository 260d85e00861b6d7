// Running the device's installer and deinstaller scripts. They report through
// a one-line outcome file: "error REASON" is a failure, anything else
// ("ok" ...) a success.
#define IXO_MODULE "PlatformCommands"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "commands/addons.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "handles.h"
#include "log.h"

namespace {

struct LineFree {
    void operator()(char *line) const { std::free(line); }
};

// The reason follows the word "error" and one separator character.
const size_t reasonOffset = 6;

void removeOutcomeFile(const char *path) {
    if (::unlink(device::deviceEntryPath(path).c_str()) != 0 && errno != ENOENT) {
        IXO_LOG(IXO_ERROR, "cannot remove '%s': %s", path, std::strerror(errno));
    }
}

// The outcome file as the installer left it, if it is still root's file: in
// the world-writable /tmp a local user could otherwise answer for root's
// installer. Null, with the failure stored, when there is none to read.
handles::File openOutcomeFile(const char *path, char **errorClass) {
    bool missing = false;
    std::string error;
    handles::File outcome;
    handles::Descriptor file{device::openCaptureFileForReading(path, &missing, &error)};
    if (file.fd >= 0) {
        outcome.reset(::fdopen(file.fd, "r"));
        if (outcome) {
            file.fd = -1;
        } else {
            error = std::string("cannot read ") + path + ": " + std::strerror(errno);
        }
    }
    if (!outcome) {
        if (missing) {
            IXO_LOG(IXO_ERROR, "pipe file not created");
        } else {
            IXO_LOG(IXO_ERROR, "installer outcome not read: %s", error.c_str());
        }
        commands::setFailure(errorClass, nullptr, "system_error", nullptr);
    }
    return outcome;
}

}  // namespace

namespace commands {

const char addonOutcomeFile[] = "/tmp/ixoAddonPipe";

std::string lastPathComponent(const std::string &path) {
    if (path.empty()) {
        return ".";
    }
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return "/";
    }
    size_t start = path.rfind('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end + 1 - start);
}

int installerSystemCall(const char *commandLine, const char *pipePath, char **errorClass,
                        char **message) {
    if (commandLine == nullptr || pipePath == nullptr) {
        IXO_LOG(IXO_ERROR, "no installer command line or outcome file");
        setFailure(errorClass, nullptr, "system_error", nullptr);
        return -1;
    }
    // Made afresh for the installer: no link planted at the name can take
    // what root's installer writes there.
    std::string error;
    if (!device::createCaptureFile(pipePath, &error)) {
        IXO_LOG(IXO_ERROR, "%s; '%s' not run", error.c_str(), commandLine);
        setFailure(errorClass, nullptr, "system_error", nullptr);
        return -1;
    }

    IXO_LOG(IXO_PROGRESS, "About to run command '%s'", commandLine);
    int status = device::runDeviceCommand(commandLine);
    IXO_LOG(IXO_PROGRESS, "Done running command '%s'", commandLine);
    IXO_LOG(IXO_TRACE, "'%s' returned %d", commandLine, status);

    handles::File outcome = openOutcomeFile(pipePath, errorClass);
    if (!outcome) {
        removeOutcomeFile(pipePath);
        return -1;
    }
    char *rawLine = nullptr;
    size_t capacity = 0;
    ssize_t length = ::getline(&rawLine, &capacity, outcome.get());
    std::unique_ptr<char, LineFree> line(rawLine);
    outcome.reset();
    removeOutcomeFile(pipePath);
    if (length <= 0) {
        IXO_LOG(IXO_ERROR, "Error: pipe file empty");
        setFailure(errorClass, nullptr, "system_error", nullptr);
        return -1;
    }

    const char *text = line.get();
    if (strncasecmp(text, "ok", 2) != 0 && strncasecmp(text, "error", 5) == 0) {
        IXO_LOG(IXO_ERROR, "%s", text);
        // A bare "error" carries no reason.
        const char *reason = static_cast<size_t>(length) > reasonOffset ? text + reasonOffset : "";
        setFailure(errorClass, message, "system_error", reason);
        return -1;
    }
    restartDesktop();
    return 0;
}

}  // namespace commands
