// Serialising writers across processes. The registry itself cannot carry the
// lock, since every write replaces it with a new file; a lock file beside it
// stays. Readers need no lock: they always see a whole file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "agent/ixoagent.h"
#include "agent/registryStore.h"

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

}  // namespace

bool lockRegistry(const RegistryPath &path, Fd *lock, std::string *error) {
    std::string name = lockFileName(path);
    // No link is followed: in a shared directory like /tmp one could point anywhere.
    Fd file(::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0644));
    if (file.fd < 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot open lock file", name));
    }
    // Another writer holds it for one read, change and rename: wait for it.
    while (::flock(file.fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return fail(error, __func__, __LINE__, systemFailure("cannot lock", name));
        }
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
