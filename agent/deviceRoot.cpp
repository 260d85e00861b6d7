// Where the agent's services find the device: the real root file system or a
// simulated one in a directory.
#include <string>
#include <vector>

#include "agent/ixoagent.h"

namespace {

std::string root;

}  // namespace

namespace agent {

void setDeviceRoot(const std::string &newRoot) {
    root = newRoot;
    while (!root.empty() && root.back() == '/') {
        root.pop_back();
    }
}

const std::string &deviceRoot() { return root; }

// On a simulated device the path is resolved lexically, with ".." stopping
// at the root as it does at "/", so that no device path reaches the host
// file system around the root.
std::string devicePath(const std::string &path) {
    if (root.empty()) {
        return path;
    }
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string component = path.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string host = root;
    for (const std::string &component : components) {
        host += "/" + component;
    }
    return host;
}

}  // namespace agent
