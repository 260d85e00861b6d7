// The library's only road to the device's registry files: a thin layer over
// the agent's registry primitives with one shared handle for the temporary
// registry and a guard on the caller's buffer.
#define IXO_MODULE "RegistryLayer"

#include <cstring>

#include "ixo/registry.h"
#include "log.h"
#include "registry/registryLayer.h"

namespace {

const char temporaryRegistry[] = "/tmp/system.conf";

// Everyone who opens the temporary registry shares this handle; 0 when it is
// not open.
int temporaryRegistryHandle = 0;

int closeWith(int (*primitive)(int), int handle) {
    if (handle == temporaryRegistryHandle) {
        temporaryRegistryHandle = 0;
    }
    return primitive(handle);
}

}  // namespace

extern "C" {

IXO_API int p_openReg(const char *path) {
    if (path == nullptr) {
        IXO_LOG(IXO_ERROR, "null registry path");
        return 0;
    }
    bool temporary = std::strcmp(path, temporaryRegistry) == 0;
    if (temporary && temporaryRegistryHandle != 0) {
        IXO_LOG(IXO_ERROR, "Warning attempt to re-open temporary registry");
        return temporaryRegistryHandle;
    }
    const char *name = registry::convertFilename(path);
    if (name == nullptr) {
        IXO_LOG(IXO_ERROR, "no registry name for '%s' in test mode without HOME", path);
        return 0;
    }
    IXO_LOG(IXO_TRACE, "About to open registry '%s'", name);
    int handle = reg_open(name);
    if (temporary) {
        temporaryRegistryHandle = handle;
    }
    return handle;
}

IXO_API int p_regGet(int handle, char *value, const char *section, const char *key,
                     const char *defaultValue, int valueSize) {
    if (valueSize < IXO_REGISTRY_MAX_VALUE) {
        IXO_LOG(IXO_ERROR, "returnValueSize too small '%d' < '%d'", valueSize,
                IXO_REGISTRY_MAX_VALUE);
        if (value != nullptr && valueSize > 0) {
            value[0] = '\0';
        }
        return -1;
    }
    if (value == nullptr) {
        IXO_LOG(IXO_ERROR, "null value buffer for key '%s'", key != nullptr ? key : "");
        return -1;
    }
    // The primitive is given no size and may write a full value and its NUL:
    // read into room for that, then hand out only what fits the caller's
    // buffer.
    char fetched[IXO_REGISTRY_BUFFER_SIZE] = "";
    if (reg_get(handle, fetched, section, key, defaultValue) > 0) {
        IXO_LOG(IXO_ERROR, "error getting key '%s'", key != nullptr ? key : "");
        value[0] = '\0';
        return -1;
    }
    fetched[sizeof fetched - 1] = '\0';
    size_t length = std::strlen(fetched);
    if (length >= static_cast<size_t>(valueSize)) {
        IXO_LOG(IXO_ERROR, "value of key '%s' (%zu characters) does not fit a %d-byte buffer",
                key != nullptr ? key : "", length, valueSize);
        value[0] = '\0';
        return -1;
    }
    std::memcpy(value, fetched, length + 1);
    return 0;
}

IXO_API int p_regSet(int handle, const char *section, const char *key, const char *value) {
    if (section == nullptr || section[0] == '\0') {
        IXO_LOG(IXO_ERROR, "section NULL or 0 length");
    }
    if (key == nullptr || key[0] == '\0') {
        IXO_LOG(IXO_ERROR, "key NULL or 0 length");
    }
    return reg_set(handle, section, key, value);
}

IXO_API int p_regDel(int handle, const char *name) { return reg_del(handle, name); }

IXO_API int p_regClose(int handle) {
    IXO_LOG(IXO_TRACE, "About to close registry");
    return closeWith(reg_close, handle);
}

IXO_API int p_CloseAction(int handle) {
    IXO_LOG(IXO_TRACE, "About to close registry");
    return closeWith(reg_close_action, handle);
}

IXO_API int p_CloseNoAction(int handle) {
    IXO_LOG(IXO_TRACE, "About to close registry");
    return closeWith(reg_close_no_action, handle);
}

}  // extern "C"
