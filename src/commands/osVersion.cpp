// The OS image version kept in the temporary registry, and the desktop
// refresh that depends on it: images of version 6.3.0 run the qvwm window
// manager, the others the connection manager.
#define IXO_MODULE "PlatformCommands"

#include <cstring>
#include <string>

#include "commands/addons.h"
#include "device/device.h"
#include "ixo/registry.h"
#include "log.h"

namespace {

const char versionRegistry[] = "/tmp/system.conf";
const char defaultVersion[] = "6.2.0";
const char windowManagerVersion[] = "6.3.0";
const int segmentCapacity = 10;

// Copies at most size bytes of text, as strncpy does; the caller ends the
// buffer.
void copyBounded(char *destination, const char *text, int size) {
    size_t length = std::strlen(text);
    size_t room = static_cast<size_t>(size);
    std::memcpy(destination, text, length < room ? length + 1 : room);
}

void runIgnoringResult(const std::string &line) {
    int status = device::runDeviceCommand(line);
    IXO_LOG(IXO_TRACE, "'%s' returned %d", line.c_str(), status);
}

}  // namespace

namespace commands {

const char *nextVersionSegment(const char *text, char *field, int capacity) {
    if (text == nullptr) {
        if (field != nullptr && capacity > 0) {
            field[0] = '\0';
        }
        return nullptr;
    }
    size_t used = 0;
    const char *c = text;
    for (; *c != '\0' && *c != '.'; ++c) {
        if (field != nullptr && capacity > 0 && used + 1 < static_cast<size_t>(capacity)) {
            field[used++] = *c;
        }
    }
    if (field != nullptr && capacity > 0) {
        field[used] = '\0';
    }
    return *c == '.' ? c + 1 : c;
}

int V6VersionCompare(const char *first, const char *second) {
    if (first == nullptr || second == nullptr) {
        IXO_LOG(IXO_ERROR, "bad arguments, NULL");
        return 0;
    }
    for (int segment = 0; segment < 3; ++segment) {
        char firstField[segmentCapacity];
        char secondField[segmentCapacity];
        first = nextVersionSegment(first, firstField, segmentCapacity);
        second = nextVersionSegment(second, secondField, segmentCapacity);
        if (std::strcmp(firstField, secondField) != 0) {
            return 1;
        }
    }
    return 0;
}

int getV6Version(int handle, char *version, int size) {
    if (version == nullptr || size <= 0) {
        IXO_LOG(IXO_ERROR, "Bad arguments version is null");
        return -1;
    }
    copyBounded(version, defaultVersion, size);
    version[size - 1] = '\0';
    bool opened = false;
    if (handle == 0) {
        handle = p_openReg(versionRegistry);
        if (handle == 0) {
            IXO_LOG(IXO_ERROR, "Error opening %s registry", versionRegistry);
            return 0;
        }
        opened = true;
    }
    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    if (p_regGet(handle, value, "system", "version", "", sizeof value) == 0) {
        copyBounded(version, value, size);
        version[size - 1] = '\0';
    } else {
        IXO_LOG(IXO_ERROR, "cannot read the OS version; taking '%s'", version);
    }
    if (opened) {
        p_CloseNoAction(handle);
    }
    return 0;
}

void restartDesktop() {
    char version[20] = {};
    if (getV6Version(0, version, sizeof version) == 0 &&
        V6VersionCompare(windowManagerVersion, version) == 0) {
        IXO_LOG(IXO_PROGRESS, "restarting the window manager (OS version '%s')", version);
        runIgnoringResult(device::sudoSuLine("/etc/rc.d/rc.qvwm"));
        // As the agent's user: the window manager reads its own control file.
        std::string error;
        if (device::windowManagerControlFileUsable(&error)) {
            runIgnoringResult("echo \"QVWM_RESTART\" >> /tmp/qvwm-\\:0.0");
        } else {
            IXO_LOG(IXO_ERROR, "the window manager is not told to restart: %s", error.c_str());
        }
        return;
    }
    IXO_LOG(IXO_PROGRESS, "restarting the connection manager (OS version '%s')", version);
    runIgnoringResult(device::sudoSuLine("/sbin/conmgr.sh"));
}

}  // namespace commands
