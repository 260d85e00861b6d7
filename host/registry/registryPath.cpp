// Where a registry lives on the host, the names beside it, and the error and
// descriptor helpers the store shares.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "host/registry/registry.h"
#include "host/registry/registryStore.h"

namespace agent::registry {

namespace {

constexpr int kMaxLinks = 8;
const char kLockFolderName[] = ".registry-locks";
const char kTempInfix[] = ".tmp";
constexpr size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX

// A link's target, relative to the device path of the link.
std::string linkTarget(const std::string &linkDevicePath, const std::string &target) {
    if (target[0] == '/') {
        return target;
    }
    size_t slash = linkDevicePath.rfind('/');
    return slash == std::string::npos ? target : linkDevicePath.substr(0, slash + 1) + target;
}

}  // namespace

bool fail(std::string *error, const char *function, int line, const std::string &message) {
    ixoLogger("Registry", function, line, 1, "%s", message.c_str());
    if (error != nullptr) {
        *error = message;
    }
    return false;
}

std::string systemFailure(const std::string &what, const std::string &path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

Fd &Fd::operator=(Fd &&other) noexcept {
    if (this != &other) {
        Fd old(std::move(*this));
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

Fd::~Fd() {
    if (fd >= 0 && ::close(fd) != 0) {
        ixoLogger("Registry", __func__, __LINE__, 1, "cannot close descriptor %d: %s", fd,
                  std::strerror(errno));
    }
}

bool closeChecked(Fd *file, const std::string &path, std::string *error) {
    int fd = file->fd;
    file->fd = -1;
    if (::close(fd) != 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot close", path));
    }
    return true;
}

namespace {

std::string hostRegistryDirectory;

bool inHostRegistryDirectory(const std::string &path) {
    return !hostRegistryDirectory.empty() && path.size() > hostRegistryDirectory.size() &&
           path.compare(0, hostRegistryDirectory.size(), hostRegistryDirectory) == 0 &&
           path[hostRegistryDirectory.size()] == '/';
}

}  // namespace

void setHostRegistryDirectory(const std::string &directory) { hostRegistryDirectory = directory; }

// Registry test mode keeps its copies on the host, outside any device.
std::string registryHostPath(const std::string &path) {
    return inHostRegistryDirectory(path) ? path : agent::deviceEntryPath(path);
}

// Links are followed here rather than replaced by the first write: a device
// may keep its registry elsewhere and link to it. Their targets are device
// paths too. A link that another user planted (in /tmp, say) is refused.
bool resolveRegistryPath(const std::string &devicePath, RegistryPath *path, std::string *error) {
    if (devicePath.empty()) {
        return fail(error, __func__, __LINE__, "no registry file name given");
    }
    std::string current = devicePath;
    std::string host;
    for (int links = 0;; ++links) {
        host = registryHostPath(current);
        struct stat info;
        if (::lstat(host.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                break;
            }
            return fail(error, __func__, __LINE__,
                        systemFailure("cannot examine registry", devicePath));
        }
        if (!S_ISLNK(info.st_mode)) {
            break;
        }
        if (links == kMaxLinks) {
            return fail(error, __func__, __LINE__,
                        "too many symbolic links from registry '" + devicePath + "'");
        }
        if (info.st_uid != 0 && info.st_uid != ::geteuid()) {
            return fail(error, __func__, __LINE__,
                        "not following symbolic link '" + current + "' of user " +
                            std::to_string(info.st_uid));
        }
        std::vector<char> target(static_cast<size_t>(info.st_size) + 2);
        ssize_t length = ::readlink(host.c_str(), target.data(), target.size());
        if (length < 0) {
            return fail(error, __func__, __LINE__, systemFailure("cannot read link", current));
        }
        if (length == 0 || static_cast<size_t>(length) >= target.size()) {
            return fail(error, __func__, __LINE__,
                        "symbolic link '" + current + "' changed or is empty");
        }
        current = linkTarget(current, std::string(target.data(), static_cast<size_t>(length)));
    }
    size_t slash = host.rfind('/');
    path->shown = devicePath;
    path->host = host;
    path->directory = slash == std::string::npos ? "." : host.substr(0, slash);
    if (path->directory.empty()) {
        path->directory = "/";
    }
    path->base = slash == std::string::npos ? host : host.substr(slash + 1);
    if (path->base.empty() || path->base == "." || path->base == "..") {
        return fail(error, __func__, __LINE__,
                    "registry '" + devicePath + "' does not name a file");
    }
    return true;
}

// Root's home on the device; test mode's copies, which live in the user's
// own directory on this machine, have their locks beside them.
std::string lockFolder(const RegistryPath &path) {
    std::string parent =
        inHostRegistryDirectory(path.host) ? hostRegistryDirectory : agent::devicePath("/home/root");
    return parent + "/" + kLockFolderName;
}

std::string tempFilePattern(const RegistryPath &path) {
    return path.directory + "/." + path.base + kTempInfix + std::string(kTempSuffixLength, 'X');
}

bool isTempFileName(const RegistryPath &path, const std::string &name) {
    std::string prefix = "." + path.base + kTempInfix;
    if (name.size() != prefix.size() + kTempSuffixLength ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        char c = name[i];
        bool alphanumeric =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alphanumeric) {
            return false;
        }
    }
    return true;
}

}  // namespace agent::registry

namespace agent {

void setHostRegistryDirectory(const std::string &directory) {
    registry::setHostRegistryDirectory(directory);
}

}  // namespace agent
