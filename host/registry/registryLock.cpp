// Serialising writers across processes. The registry itself cannot carry the
// lock, since every write replaces it with a new file; readers need no lock:
// they always see a whole file.
//
// The lock files live in a folder of their own in root's home (on a
// write-filtered device /home stays writable), not beside the registries: in
// /tmp any user could create or open a lock file and hold it, and every
// registry write, the agent's included, would wait on that user. Only the
// agent's user can open anything in the folder, and a writer waits a bounded
// time: a lock held longer means a writer that hangs, and the write fails.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "host/host.h"
#include "host/registry/registry.h"
#include "host/registry/registryStore.h"

namespace agent::registry {

namespace {

struct DirCloser {
    void operator()(DIR *dir) const {
        if (::closedir(dir) != 0) {
            ixoLogger("Registry", __func__, __LINE__, 1, "cannot close a directory: %s",
                      std::strerror(errno));
        }
    }
};

constexpr std::chrono::milliseconds kDefaultLockWait{10000};
constexpr std::chrono::milliseconds kLockPoll{10};
// The registry's name as part of its lock's name is cut here: the directory's
// identity before it makes the name unique enough (two registries of one
// directory sharing a lock only wait for each other).
constexpr size_t kMaxNameInLock = 200;

std::chrono::milliseconds lockWait = kDefaultLockWait;

std::string waitText(std::chrono::milliseconds wait) {
    long long count = wait.count();
    return count % 1000 == 0 ? std::to_string(count / 1000) + " s" : std::to_string(count) + " ms";
}

// The folder, made when it is missing, opened only when it is a directory of
// this user's that no one else may enter.
bool openLockFolder(const RegistryPath &path, Fd *folder, std::string *error) {
    std::string name = lockFolder(path);
    if (::mkdir(name.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(error, __func__, __LINE__,
                    systemFailure("cannot make the registry lock folder", name));
    }
    Fd opened(::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (opened.fd < 0) {
        return fail(error, __func__, __LINE__,
                    systemFailure("cannot open the registry lock folder", name));
    }
    struct stat info;
    if (::fstat(opened.fd, &info) != 0) {
        return fail(error, __func__, __LINE__,
                    systemFailure("cannot examine the registry lock folder", name));
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return fail(error, __func__, __LINE__,
                    "registry lock folder '" + name + "' is not private to user " +
                        std::to_string(::geteuid()) + " (owner " + std::to_string(info.st_uid) +
                        ", mode " + mode + ")");
    }
    *folder = std::move(opened);
    return true;
}

// One lock per registry file: named after its directory's identity, so that
// every path to the file (through links, or ".." in a device path) finds it.
bool lockFileName(const RegistryPath &path, std::string *name, std::string *error) {
    struct stat directory;
    if (::stat(path.directory.c_str(), &directory) != 0) {
        return fail(error, __func__, __LINE__,
                    systemFailure("no directory for registry", path.shown));
    }
    char identity[48];
    std::snprintf(identity, sizeof identity, "%llx-%llx-",
                  static_cast<unsigned long long>(directory.st_dev),
                  static_cast<unsigned long long>(directory.st_ino));
    *name = identity + path.base.substr(0, kMaxNameInLock) + ".lock";
    return true;
}

}  // namespace

bool lockRegistry(const RegistryPath &path, Fd *lock, std::string *error) {
    Fd folder;
    std::string name;
    if (!openLockFolder(path, &folder, error) || !lockFileName(path, &name, error)) {
        return false;
    }
    std::string shownName = lockFolder(path) + "/" + name;
    Fd file(::openat(folder.fd, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY,
                     0600));
    if (file.fd < 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot open lock file", shownName));
    }
    // Another writer holds it for one read, change and rename: wait for it,
    // but not for ever.
    auto deadline = std::chrono::steady_clock::now() + lockWait;
    while (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            return fail(error, __func__, __LINE__, systemFailure("cannot lock", shownName));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return fail(error, __func__, __LINE__,
                        "registry '" + path.shown + "' stays locked by another writer: gave up "
                        "after " + waitText(lockWait) + " (lock file '" + shownName + "')");
        }
        std::this_thread::sleep_for(kLockPoll);
    }
    *lock = std::move(file);
    return true;
}

void removeStrayTempFiles(const RegistryPath &path) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.directory.c_str()));
    if (!dir) {
        fail(nullptr, __func__, __LINE__, systemFailure("cannot read directory", path.directory));
        return;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                fail(nullptr, __func__, __LINE__,
                     systemFailure("cannot read directory", path.directory));
            }
            return;
        }
        if (isTempFileName(path, entry->d_name) &&
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0) != 0) {
            fail(nullptr, __func__, __LINE__,
                 systemFailure("cannot remove stray file", path.directory + "/" + entry->d_name));
        }
    }
}

}  // namespace agent::registry

namespace agent {

void setRegistryLockWait(std::chrono::milliseconds wait) { registry::lockWait = wait; }

std::chrono::milliseconds registryLockWait() { return registry::lockWait; }

}  // namespace agent
