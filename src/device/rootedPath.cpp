// Resolving device paths inside a simulated device's root. The kernel does
// it in one call where it knows openat2; elsewhere (older kernels, Valgrind)
// the path is walked one component at a time with O_NOFOLLOW, each link read
// and resolved here. Both answer with the names of the directories actually
// reached, so nothing in the host path is a link the host would follow.
#include "device/rootedPath.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <vector>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

#include "handles.h"

namespace device {

namespace {

// The components of a path, without the empty ones and ".".
std::vector<std::string> componentsOf(const std::string &path) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string component = path.substr(start, end - start);
        if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    return components;
}

std::string joined(const std::vector<std::string> &components, const std::string &separator) {
    std::string text;
    for (const std::string &component : components) {
        text += (text.empty() ? "" : separator) + component;
    }
    return text;
}

// The lookups that fail here fail the same way for the host path: the part
// from this component on is then kept as written.
bool stopsTheWalk(int error) { return error == ENOENT || error == ENOTDIR || error == EACCES; }

int readLink(int linkFd, std::string *target) {
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = ::readlinkat(linkFd, "", buffer.data(), buffer.size());
    if (length < 0) {
        return errno;
    }
    if (static_cast<size_t>(length) >= buffer.size()) {
        return ENAMETOOLONG;
    }
    target->assign(buffer.data(), static_cast<size_t>(length));
    return 0;
}

struct Walk {
    std::deque<handles::Descriptor> directories;  // the root, then one per name
    std::vector<std::string> names;               // reached below the root, links resolved
    std::vector<std::string> missing;             // the rest, from the first lookup that failed
    int missingError = 0;

    void backToRoot() {
        while (directories.size() > 1) {
            directories.pop_back();
        }
        names.clear();
    }
};

int walkInRoot(const std::string &root, const std::vector<std::string> &components,
               std::string *relative) {
    Walk walk;
    int rootFd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        if (!stopsTheWalk(errno)) {
            return errno;
        }
        walk.missingError = errno;
    } else {
        walk.directories.emplace_back(rootFd);
    }
    std::vector<std::string> pending(components.rbegin(), components.rend());
    int linksFollowed = 0;
    while (!pending.empty()) {
        std::string name = pending.back();
        pending.pop_back();
        if (name == "..") {
            // The device cannot step back out of what it could not enter.
            if (!walk.missing.empty()) {
                return walk.missingError;
            }
            if (!walk.names.empty()) {
                walk.names.pop_back();
                walk.directories.pop_back();
            }
            continue;
        }
        if (walk.missingError != 0) {
            walk.missing.push_back(name);
            continue;
        }
        handles::Descriptor entry{
            ::openat(walk.directories.back().fd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC)};
        if (entry.fd < 0 && stopsTheWalk(errno)) {
            walk.missingError = errno;
            walk.missing.push_back(name);
            continue;
        }
        struct stat info;
        if (entry.fd < 0 || ::fstat(entry.fd, &info) != 0) {
            return errno;
        }
        if (S_ISDIR(info.st_mode)) {
            walk.names.push_back(name);
            walk.directories.emplace_back(entry.fd);
            entry.fd = -1;
        } else if (S_ISLNK(info.st_mode)) {
            if (++linksFollowed > kMaxLinksInRoot) {
                return ELOOP;
            }
            std::string target;
            int error = readLink(entry.fd, &target);
            if (error != 0) {
                return error;
            }
            if (target.empty()) {
                walk.missingError = ENOENT;
                walk.missing.push_back(name);
                continue;
            }
            if (target.front() == '/') {
                walk.backToRoot();
            }
            std::vector<std::string> targetComponents = componentsOf(target);
            pending.insert(pending.end(), targetComponents.rbegin(), targetComponents.rend());
        } else if (pending.empty()) {
            walk.names.push_back(name);
        } else {
            walk.missingError = ENOTDIR;
            walk.missing.push_back(name);
        }
    }
    std::vector<std::string> all = walk.names;
    all.insert(all.end(), walk.missing.begin(), walk.missing.end());
    *relative = all.empty() ? "" : "/" + joined(all, "/");
    return 0;
}

#if defined(SYS_openat2) && defined(RESOLVE_IN_ROOT)

// Set once openat2 turns out to be missing (ENOSYS), or forbidden by a
// seccomp filter (EPERM): the walk alone then answers.
std::atomic<bool> kernelLacksOpenat2{false};

bool descriptorPath(int fd, std::string *path) {
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return false;
    }
    path->assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

// Non-zero whenever the kernel does not answer plainly: the walk then
// decides, also for the parts that do not exist yet and for every failure.
int kernelInRoot(const std::string &root, const std::vector<std::string> &components,
                 std::string *relative) {
    if (kernelLacksOpenat2) {
        return ENOSYS;
    }
    handles::Descriptor rootFd{::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
    if (rootFd.fd < 0) {
        return errno;
    }
    struct open_how how = {};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
    std::string path = joined(components, "/");
    long fd = ::syscall(SYS_openat2, rootFd.fd, path.c_str(), &how, sizeof how);
    if (fd < 0) {
        if (errno == ENOSYS || errno == EPERM) {
            kernelLacksOpenat2 = true;
            return ENOSYS;
        }
        return errno;
    }
    handles::Descriptor found{static_cast<int>(fd)};
    std::string rootOnHost;
    std::string foundOnHost;
    if (!descriptorPath(rootFd.fd, &rootOnHost) || !descriptorPath(found.fd, &foundOnHost)) {
        return ENOENT;
    }
    std::string prefix = rootOnHost == "/" ? "" : rootOnHost;
    if (foundOnHost.compare(0, prefix.size(), prefix) != 0 ||
        (foundOnHost.size() > prefix.size() && foundOnHost[prefix.size()] != '/')) {
        return EXDEV;
    }
    std::string candidate = foundOnHost.substr(prefix.size());
    // /proc names a removed file by its old path: the name must still be it.
    struct stat byName;
    struct stat byDescriptor;
    if (::stat((root + candidate).c_str(), &byName) != 0 ||
        ::fstat(found.fd, &byDescriptor) != 0 || byName.st_dev != byDescriptor.st_dev ||
        byName.st_ino != byDescriptor.st_ino) {
        return ESTALE;
    }
    *relative = candidate;
    return 0;
}

#else

int kernelInRoot(const std::string &, const std::vector<std::string> &, std::string *) {
    return ENOSYS;
}

#endif

}  // namespace

int resolveInRoot(const std::string &root, const std::string &path, LastLink last,
                  std::string *hostPath, Resolution how) {
    if (root.empty()) {
        *hostPath = path;
        return 0;
    }
    if (path.empty()) {
        return ENOENT;
    }
    std::vector<std::string> components = componentsOf(path);
    // A trailing "/" makes the kernel follow the last link and ask for a
    // directory; "." and ".." are never names of their own.
    std::string lastWritten = path.substr(path.rfind('/') + 1);
    bool keptName = last == LastLink::Kept && !lastWritten.empty() && lastWritten != "." &&
                    lastWritten != "..";
    std::string name;
    if (keptName) {
        name = components.back();
        components.pop_back();
    }
    std::string relative;
    if (!components.empty()) {
        int error = ENOSYS;
        if (how != Resolution::ComponentWalk) {
            error = kernelInRoot(root, components, &relative);
        }
        if (error != 0 && how != Resolution::KernelOnly) {
            error = walkInRoot(root, components, &relative);
        }
        if (error != 0) {
            return error;
        }
    }
    if (keptName) {
        relative += "/" + name;
    }
    if (path.back() == '/' && !relative.empty()) {
        relative += "/";
    }
    *hostPath = root + relative;
    return 0;
}

}  // namespace device
