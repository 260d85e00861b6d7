// The device root seam: where the host finds a device path's file.
#define IXO_MODULE "PlatformCommands"

#include <cstring>
#include <string>

#include "device/device.h"
#include "device/rootedPath.h"
#include "log.h"

namespace {
// Set once by the host before any command runs; the library is used from one
// thread.
std::string currentRoot;

std::string inRoot(const std::string &path, device::LastLink last) {
    if (currentRoot.empty()) {
        return path;
    }
    std::string host;
    int error = device::resolveInRoot(currentRoot, path, last, &host);
    if (error != 0) {
        // "" fails every file call, as the path fails on the device.
        IXO_LOG(IXO_ERROR, "cannot resolve '%s' inside the device root '%s': %s", path.c_str(),
                currentRoot.c_str(), std::strerror(error));
        return "";
    }
    return host;
}
}  // namespace

extern "C" IXO_API void ixoSetDeviceRoot(const char *root) {
    currentRoot = root != nullptr ? root : "";
    while (currentRoot.size() > 1 && currentRoot.back() == '/') {
        currentRoot.pop_back();
    }
    if (currentRoot == "/") {
        currentRoot.clear();
    }
}

extern "C" IXO_API const char *ixoGetDeviceRoot(void) { return currentRoot.c_str(); }

namespace device {

std::string devicePath(const std::string &path) { return inRoot(path, LastLink::Followed); }

std::string deviceEntryPath(const std::string &path) { return inRoot(path, LastLink::Kept); }

}  // namespace device
