// Registry test mode prepares copies of the registries on the developer's
// machine, not on the device: its command lines go to the C library's own
// system(), looked up at run time, never to the device's command runner.
#include <dlfcn.h>

#include "device/device.h"

namespace device {

HostSystemFunction lookUpHostSystem(std::string *error) {
    void *libc = dlopen("libc.so.6", RTLD_LAZY);
    if (libc == nullptr) {
        *error = "Error opening libc.so.6";
        return nullptr;
    }
    // libc stays loaded for the life of the process anyway; the handle is
    // kept open so the function stays valid.
    void *symbol = dlsym(libc, "system");
    if (symbol == nullptr) {
        *error = "Error getting 'system' library call";
        dlclose(libc);
        return nullptr;
    }
    return reinterpret_cast<HostSystemFunction>(symbol);
}

}  // namespace device
