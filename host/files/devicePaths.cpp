// Where the agent's services find the device: the real root file system or a
// simulated one in a directory.
#include <cstring>
#include <string>

#include "host/host.h"
#include "src/device/rootedPath.h"

namespace {

std::string root;

std::string inRoot(const std::string &path, device::LastLink last) {
    if (root.empty()) {
        return path;
    }
    std::string host;
    int error = device::resolveInRoot(root, path, last, &host);
    if (error != 0) {
        // "" fails every file call, as the path fails on the device.
        ixoLogger("Agent", __func__, __LINE__, 1,
                  "cannot resolve '%s' inside the device root '%s': %s", path.c_str(),
                  root.c_str(), std::strerror(error));
        return "";
    }
    return host;
}

}  // namespace

namespace agent {

void setDeviceRoot(const std::string &newRoot) {
    root = newRoot;
    while (!root.empty() && root.back() == '/') {
        root.pop_back();
    }
}

const std::string &deviceRoot() { return root; }

std::string devicePath(const std::string &path) { return inRoot(path, device::LastLink::Followed); }

std::string deviceEntryPath(const std::string &path) { return inRoot(path, device::LastLink::Kept); }

}  // namespace agent
