#include <string>

#include "device/device.h"

namespace {
// Set once by the host before any command runs; the library is used from one
// thread.
std::string currentRoot;
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

std::string devicePath(const std::string &path) {
    if (currentRoot.empty()) {
        return path;
    }
    if (!path.empty() && path.front() == '/') {
        return currentRoot + path;
    }
    return currentRoot + "/" + path;
}

}  // namespace device
