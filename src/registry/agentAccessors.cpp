// Small accessors the agent calls: the pending command in the persistent
// registry, its log settings, the older management add-on's listen port, and
// hooks that this platform answers with constants.
#define IXO_MODULE "DeviceAsset"

#include <cstdlib>

#include "ixo/registry.h"
#include "log.h"
#include "registry/settingAccess.h"

namespace {
const char legacyAgentConfig[] = "/etc/addons.d/VORBIX/config/iniFile.ini";
}  // namespace

extern "C" {

IXO_API int getPendingCommandXml(const char *name, char *value) {
    return registry::readSetting(registry::temporaryRegistryPath, "IxoSettings", name, value);
}

IXO_API int setPendingCommandXml(const char *name, const char *value) {
    registry::writeSetting(registry::persistentRegistryPath, "IxoSettings", name, value);
    return 0;
}

IXO_API int getLogSettings(int *enabled, char *fileName) {
    char flag[IXO_REGISTRY_BUFFER_SIZE] = "";
    getIxoSetting("logEnabled", flag);
    if (enabled != nullptr) {
        *enabled = std::atoi(flag);
    }
    if (fileName != nullptr) {
        getIxoSetting("LogFileName", fileName);
    }
    return 0;
}

IXO_API int getLegacyListenPort(char *port) {
    int handle = p_openReg(legacyAgentConfig);
    if (handle == 0) {
        IXO_LOG(IXO_ERROR, "Error opening Vorbix config file");
        return -1;
    }
    p_regGet(handle, port, "HKLM", "SOFTWARE\\TELMARC\\VORBIX\\ListenPort", "",
             IXO_REGISTRY_BUFFER_SIZE);
    p_CloseNoAction(handle);
    return 0;
}

// The write filter here is switched per command, never on the agent's word.
IXO_API int getWriteFilterStateFromIxo(void *, int *state) {
    if (state != nullptr) {
        *state = 1;
    }
    return 0;
}

IXO_API int setWriteFilterStateFromIxo(void *, int) { return 0; }

IXO_API int setAgentVersion(const char *) { return 0; }

IXO_API int GetCertificatePath(char *) { return -1; }

}  // extern "C"
