// Applying a configuration record to the device: host name and locale into
// the persistent registry, the network interfaces, the restarts the changes
// need, and the asset tags. Every step is best effort and logs its failure;
// only the asset tags decide the result.
#define IXO_MODULE "DeviceAsset"

#include <strings.h>

#include <string>

#include "device/device.h"
#include "ixo/platform.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

const char kHostNameRestart[] = "/sbin/sudo su -c \"/usr/sbin/hostname_restart.sh\"";
const char kWindowManagerRestart[] =
    "/sbin/sudo su -c \"/etc/rc.d/rc.qvwm --no-auto-launch && echo QVWM_RESTART >> "
    "/tmp/qvwm-:0.0\"";

// The host-name source names of assignment types 2 to 4 (1 is "ENTERED").
const char *const kHostNameSources[] = {"MAC", "DHCP", "DNS"};

const char kUtf8Suffix[] = ".utf8";
const char kUtf8Rewritten[] = ".UTF-8";

int runRestart(const char *commandLine) {
    if (device::runDeviceCommand(commandLine) != 0) {
        IXO_LOG(IXO_ERROR, "Error executing '%s'", commandLine);
    }
    return 0;
}

}  // namespace

int setHostName(int registry, uint32_t hostNameAssignmentType, const char *hostName,
                int *hostNameChanged) {
    if (hostNameChanged == nullptr) {
        IXO_LOG(IXO_ERROR, "bad arguments");
        return -1;
    }
    *hostNameChanged = 0;
    RegistryValue oldSource;
    RegistryValue oldName;
    readValue(registry, "Terminal", "source", oldSource);
    readValue(registry, "Terminal", "name", oldName);

    const char *source = nullptr;
    switch (hostNameAssignmentType) {
        case 0:
            IXO_LOG(IXO_PROGRESS, "hostName not set in command");
            return 0;
        case 1:
            if (hostName == nullptr || hostName[0] == '\0') {
                return 0;
            }
            source = "ENTERED";
            break;
        case 2:
        case 3:
        case 4:
            source = kHostNameSources[hostNameAssignmentType - 2];
            break;
        default:
            IXO_LOG(IXO_ERROR, "unexpected hostNameAssignmentType '%d'",
                    static_cast<int>(hostNameAssignmentType));
            return -1;
    }

    // A flag is raised only for a change that was really stored: a refused
    // write leaves the device as it was, with nothing to restart.
    bool sourceWritten = writeValue(registry, "Terminal", "source", source);
    if (hostNameAssignmentType == 1) {
        if (writeValue(registry, "Terminal", "name", hostName) &&
            std::strcmp(oldName, hostName) != 0) {
            *hostNameChanged = 1;
        }
    }
    if (sourceWritten && strcasecmp(oldSource, source) != 0) {
        *hostNameChanged = 1;
    }
    return 0;
}

int setLocale(int registry, char *locale, size_t localeSize, ChangeFlags *flags) {
    if (registry == 0 || locale == nullptr || flags == nullptr || localeSize == 0) {
        IXO_LOG(IXO_ERROR, "bad arguments");
        return -1;
    }
    size_t length = strnlen(locale, localeSize);
    if (length == localeSize) {
        IXO_LOG(IXO_ERROR, "locale is not terminated within its %zu bytes", localeSize);
        return -1;
    }
    if (length == 0) {
        return 0;
    }
    flags->localeChanged = 0;
    RegistryValue oldLocale;
    readValue(registry, "System", "language", oldLocale);

    if (char *utf8 = std::strstr(locale, kUtf8Suffix)) {
        // The rewrite is one character longer than what it replaces: a
        // locale whose ".utf8" ends at the end of its field has no room for
        // it, and is refused rather than written past the field.
        size_t at = static_cast<size_t>(utf8 - locale);
        if (at + sizeof kUtf8Rewritten > localeSize) {
            IXO_LOG(IXO_ERROR, "locale of %zu characters leaves no room to write '%s' for '%s'",
                    length, kUtf8Rewritten, kUtf8Suffix);
            return -1;
        }
        std::memcpy(utf8, kUtf8Rewritten, sizeof kUtf8Rewritten);
    }
    if (writeValue(registry, "System", "language", locale) && strcasecmp(locale, oldLocale) != 0) {
        flags->localeChanged = 1;
    }
    return 0;
}

int setPlatformConfig(PlatformData *platformData, int registry, ChangeFlags *flags) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "platformData NULL in setPlatformConfig");
        return -1;
    }
    if (registry == 0) {
        IXO_LOG(IXO_ERROR, "regid NULL in setPlatformConfig");
        return -1;
    }
    std::string hostName = fieldText(platformData->hostName);
    if (setHostName(registry, platformData->hostNameAssignmentType, hostName.c_str(),
                    &flags->hostNameChanged) != 0) {
        IXO_LOG(IXO_ERROR, "error setting hostName");
        return -1;
    }
    if (setLocale(registry, platformData->locale, sizeof platformData->locale, flags) != 0) {
        IXO_LOG(IXO_ERROR, "error setting locale");
        return -1;
    }
    return 0;
}

int restartHostName() { return runRestart(kHostNameRestart); }

int restartWindowManager() {
    std::string error;
    if (!device::windowManagerControlFileUsable(&error)) {
        IXO_LOG(IXO_ERROR, "'%s' not run: %s", kWindowManagerRestart, error.c_str());
        return 0;
    }
    return runRestart(kWindowManagerRestart);
}

}  // namespace platform

extern "C" IXO_API int setPlatformData(PlatformData *platformData) {
    using namespace platform;
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Error, NULL platformData");
        return -1;
    }
    ChangeFlags flags;
    getAllMacs();
    int registry = p_openReg(kPersistentRegistry);
    if (registry == 0) {
        IXO_LOG(IXO_ERROR, "Error opening registry '%s'", kPersistentRegistry);
    }
    setPlatformConfig(platformData, registry, &flags);
    for (const NetworkInterface *net = platformData->networkList; net != nullptr; net = net->next) {
        setNetworkConfig(net, registry);
    }
    if (registry != 0) {
        p_CloseNoAction(registry);
    }
    doAllNetworkActions(platformData->networkList);
    if (flags.hostNameChanged) {
        restartHostName();
    }
    if (flags.localeChanged) {
        restartWindowManager();
    }
    if (setAssetConfig(platformData) != 0) {
        IXO_LOG(IXO_ERROR, "Error setting assetTags");
        return -1;
    }
    return 0;
}
