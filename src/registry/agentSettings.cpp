// The agent's own settings: section "IxoSettings" and the second group
// "lumsettings" of the temporary registry.
#define IXO_MODULE "RegistryLayer"

#include "ixo/registry.h"
#include "log.h"
#include "registry/settingAccess.h"

extern "C" {

IXO_API int getIxoSetting(const char *name, char *value) {
    return registry::readSetting(registry::temporaryRegistryPath, "IxoSettings", name, value);
}

IXO_API int setIxoSetting(const char *name, const char *value) {
    registry::writeIxoSetting(name, value);
    return 0;
}

IXO_API int getLumSetting(const char *name, char *value) {
    return registry::readSetting(registry::temporaryRegistryPath, "lumsettings", name, value);
}

}  // extern "C"
