// Reading a registry file when it changed, and replacing it atomically: the
// device's configuration lives in these files, and a power cut or a killed
// agent must leave either the old or the new version, never a mix.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "host/registry/registryStore.h"
#include "src/device/replacementFile.h"

namespace agent::registry {

namespace {

// Far above any real registry; a bigger file is not one.
constexpr off_t kMaxFileSize = 4 * 1024 * 1024;

bool sameTime(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The change time also moves with the mode and owner, which the next write
// copies.
bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           sameTime(a.st_mtim, b.st_mtim) && sameTime(a.st_ctim, b.st_ctim);
}

bool readAll(int fd, const std::string &shown, std::string *content, std::string *error) {
    content->clear();
    char buffer[8192];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(error, __func__, __LINE__, systemFailure("cannot read registry", shown));
        }
        if (count == 0) {
            return true;
        }
        content->append(buffer, static_cast<size_t>(count));
        if (content->size() > static_cast<size_t>(kMaxFileSize)) {
            return fail(error, __func__, __LINE__, "registry '" + shown + "' is too large");
        }
    }
}

bool writeAll(int fd, const std::string &content, const std::string &path, std::string *error) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t count = ::write(fd, content.data() + done, content.size() - done);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(error, __func__, __LINE__, systemFailure("cannot write", path));
        }
        done += static_cast<size_t>(count);
    }
    return true;
}

void forget(Store *store, bool present) {
    store->document.lines.clear();
    store->pinned = Fd();
    store->present = present;
    store->loaded = false;
}

// The temporary file, removed unless it was renamed into place.
struct TempFile {
    std::string path;
    Fd file;
    bool renamed = false;

    ~TempFile() {
        if (!path.empty() && !renamed && ::unlink(path.c_str()) != 0) {
            fail(nullptr, __func__, __LINE__, systemFailure("cannot remove", path));
        }
    }
};

// The new file keeps the mode and owner of the file the agent made before,
// so that the programs that read the registry can still read it.
bool giveAttributes(const Store &store, const TempFile &temp, std::string *error) {
    std::string reason;
    if (!device::giveReplacedFileOwner(temp.file.fd, temp.path, store.present ? &store.identity : nullptr,
                               &reason)) {
        return fail(error, __func__, __LINE__, reason);
    }
    return true;
}

bool syncDirectory(const std::string &directory, std::string *error) {
    Fd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot open directory", directory));
    }
    if (::fsync(dir.fd) != 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot sync directory", directory));
    }
    return closeChecked(&dir, directory, error);
}

}  // namespace

bool readRegistry(Store *store, std::string *error) {
    const RegistryPath &path = store->path;
    Fd file(::open(path.host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (file.fd < 0) {
        // Taken before forgetting closes a descriptor and may change errno.
        bool missing = errno == ENOENT;
        std::string message = systemFailure("cannot open registry", path.shown);
        forget(store, false);
        store->loaded = missing;
        return missing || fail(error, __func__, __LINE__, message);
    }
    struct stat info;
    if (::fstat(file.fd, &info) != 0) {
        std::string message = systemFailure("cannot examine registry", path.shown);
        forget(store, false);
        return fail(error, __func__, __LINE__, message);
    }
    if (!S_ISREG(info.st_mode)) {
        forget(store, false);
        return fail(error, __func__, __LINE__,
                    "registry '" + path.shown + "' is not a regular file");
    }
    if (store->loaded && store->present && sameFile(info, store->identity)) {
        return true;
    }
    forget(store, true);
    std::string content;
    if (!readAll(file.fd, path.shown, &content, error)) {
        return false;
    }
    ParseError parseError;
    if (!parseDocument(content, &store->document, &parseError)) {
        store->document.lines.clear();
        return fail(error, __func__, __LINE__,
                    path.shown + ":" + std::to_string(parseError.line) + ": " + parseError.reason);
    }
    store->pinned = std::move(file);
    store->identity = info;
    store->loaded = true;
    return true;
}

bool writeRegistry(Store *store, const std::string &content, std::string *error) {
    const RegistryPath &path = store->path;
    std::string pattern = tempFilePattern(path);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    TempFile temp;
    temp.file.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (temp.file.fd < 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot create a file like", pattern));
    }
    temp.path = name.data();
    if (!writeAll(temp.file.fd, content, temp.path, error) ||
        !giveAttributes(*store, temp, error)) {
        return false;
    }
    if (::fsync(temp.file.fd) != 0) {
        return fail(error, __func__, __LINE__, systemFailure("cannot sync", temp.path));
    }
    if (!closeChecked(&temp.file, temp.path, error)) {
        return false;
    }
    if (::rename(temp.path.c_str(), path.host.c_str()) != 0) {
        return fail(error, __func__, __LINE__,
                    systemFailure("cannot rename " + temp.path + " to", path.host));
    }
    temp.renamed = true;
    // The next operation reads the new file back: its identity is the one on disk.
    forget(store, true);
    // Until the directory is synced the rename may not survive a power cut.
    return syncDirectory(path.directory, error);
}

}  // namespace agent::registry
