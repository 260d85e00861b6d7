#define IXO_MODULE "RegistryLayer"

#include "registry/settingAccess.h"

#include "ixo/registry.h"
#include "log.h"
#include "urlPasswords.h"

namespace registry {

const char temporaryRegistryPath[] = "/tmp/system.conf";
const char persistentRegistryPath[] = "/home/root/system.conf";

int readSetting(const char *file, const char *section, const char *name, char *value) {
    int handle = p_openReg(file);
    int result = p_regGet(handle, value, section, name, "", IXO_REGISTRY_BUFFER_SIZE);
    p_CloseNoAction(handle);
    return result < 0 ? -1 : 0;
}

int writeSetting(const char *file, const char *section, const char *name, const char *value) {
    int handle = p_openReg(file);
    int result = p_regSet(handle, section, name, value);
    p_CloseNoAction(handle);
    return handle != 0 && result == 0 ? 0 : -1;
}

int writeIxoSetting(const char *name, const char *value) {
    int result = writeSetting(temporaryRegistryPath, "IxoSettings", name, value);
    // A saved command keeps the URLs it was given whole; the log does not.
    IXO_LOG(IXO_PROGRESS, "name '%s', value '%s'", name != nullptr ? name : "",
            ixo::hideUrlPasswords(value != nullptr ? value : "").c_str());
    return result;
}

}  // namespace registry
