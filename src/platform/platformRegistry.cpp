// Registry reads and writes of the platform subsystem, and copies into the
// record's fixed fields.
#define IXO_MODULE "DeviceAsset"

#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

const char kTemporaryRegistry[] = "/tmp/system.conf";
const char kPersistentRegistry[] = "/home/root/system.conf";

void copyText(char *field, size_t size, const char *text) {
    if (field == nullptr || size == 0) {
        return;
    }
    size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
    if (length > 0) {
        std::memcpy(field, text, length);
    }
    field[length] = '\0';
}

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
