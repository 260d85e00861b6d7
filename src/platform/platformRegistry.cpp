// Registry reads and writes of the platform subsystem.
#define IXO_MODULE "DeviceAsset"

#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

const char kTemporaryRegistry[] = "/tmp/system.conf";
const char kPersistentRegistry[] = "/home/root/system.conf";

bool readValue(int registry, const char *section, const char *key, RegistryValue &value,
               const char *defaultValue) {
    value[0] = '\0';
    if (p_regGet(registry, value, section, key, defaultValue, sizeof value) != 0) {
        value[0] = '\0';
        return false;
    }
    return true;
}

bool writeValue(int registry, const char *section, const char *key, const char *value) {
    if (p_regSet(registry, section, key, value) != 0) {
        IXO_LOG(IXO_ERROR, "error writing '%s' in section '%s'", key, section);
        return false;
    }
    return true;
}

}  // namespace platform
