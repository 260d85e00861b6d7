// Deleting files and directory trees on the device for the deletion commands.
// Paths are device paths, resolved under the device root. Symbolic links are
// never followed: a link is removed itself, and a tree is removed through
// directory descriptors so that a link inside it cannot lead elsewhere.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "host/host.h"

namespace {

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

const char errorClass[] = "file_error";

char *failure(const char *function, const std::string &text, char **message) {
    ixoLogger("Agent", function, __LINE__, 1, "%s", text.c_str());
    if (message != nullptr) {
        *message = strdup(text.c_str());
    }
    return strdup(errorClass);
}

std::string systemReason(int error) { return std::strerror(error); }

const char *kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISLNK(mode)) return "a symbolic link";
    if (S_ISREG(mode)) return "a regular file";
    return "not a regular file";
}

// Removes everything inside the open directory; on failure names the entry
// (as a device path) and the reason.
bool removeContents(int dirFd, const std::string &shownPath, std::string *reason);

bool removeEntry(int parentFd, const char *name, const std::string &shownPath,
                 std::string *reason) {
    struct stat info;
    if (fstatat(parentFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        *reason = "cannot examine '" + shownPath + "': " + systemReason(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            *reason = "cannot open '" + shownPath + "': " + systemReason(errno);
            return false;
        }
        if (!removeContents(fd, shownPath, reason)) {
            return false;
        }
    }
    if (unlinkat(parentFd, name, S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) != 0) {
        *reason = "cannot remove '" + shownPath + "': " + systemReason(errno);
        return false;
    }
    return true;
}

// Takes ownership of dirFd.
bool removeContents(int dirFd, const std::string &shownPath, std::string *reason) {
    DirPtr dir(fdopendir(dirFd));
    if (!dir) {
        *reason = "cannot read '" + shownPath + "': " + systemReason(errno);
        close(dirFd);
        return false;
    }
    for (;;) {
        errno = 0;
        struct dirent *entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                *reason = "cannot read '" + shownPath + "': " + systemReason(errno);
                return false;
            }
            return true;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        if (!removeEntry(dirfd(dir.get()), entry->d_name, shownPath + "/" + entry->d_name,
                         reason)) {
            return false;
        }
    }
}

// True when the path, resolved lexically with ".." stopping at the top, names
// no entry below the device's root (or, for a relative path on the real
// device, below the working directory): removing that is never meant.
bool namesDeviceRoot(const std::string &path) {
    size_t depth = 0;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string component = path.substr(start, end - start);
        if (component == "..") {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (!component.empty() && component != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return depth == 0;
}

// The device's root directory itself, reached through a link (a trailing "/"
// follows one): a local user could plant "/tmp/x" pointing at "/".
bool isDeviceRootDirectory(int dirFd) {
    const std::string &root = agent::deviceRoot();
    struct stat directory;
    struct stat top;
    return fstat(dirFd, &directory) == 0 && stat(root.empty() ? "/" : root.c_str(), &top) == 0 &&
           directory.st_dev == top.st_dev && directory.st_ino == top.st_ino;
}

char *deleteFile(const char *path, char **message) {
    if (path == nullptr || path[0] == '\0') {
        return failure(__func__, "Cannot delete file: no path given", message);
    }
    const std::string cannot = std::string("Cannot delete file '") + path + "': ";
    std::string host = agent::deviceEntryPath(path);
    struct stat info;
    if (lstat(host.c_str(), &info) != 0) {
        return failure(__func__, cannot + systemReason(errno), message);
    }
    if (S_ISDIR(info.st_mode)) {
        return failure(__func__, cannot + "it is a directory", message);
    }
    if (unlink(host.c_str()) != 0) {
        return failure(__func__, cannot + systemReason(errno), message);
    }
    ixoLogger("Agent", __func__, __LINE__, 3, "Deleted file '%s'", path);
    return nullptr;
}

char *deleteDirectory(const char *path, char **message) {
    if (path == nullptr || path[0] == '\0') {
        return failure(__func__, "Cannot delete directory: no path given", message);
    }
    std::string shown = path;
    const std::string cannot = "Cannot delete directory '" + shown + "': ";
    if (namesDeviceRoot(shown)) {
        return failure(__func__, cannot + "it resolves to the device's root directory", message);
    }
    std::string host = agent::deviceEntryPath(shown);
    struct stat info;
    if (lstat(host.c_str(), &info) != 0) {
        return failure(__func__, cannot + systemReason(errno), message);
    }
    if (!S_ISDIR(info.st_mode)) {
        return failure(__func__, cannot + "it is " + kindOf(info.st_mode), message);
    }
    int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return failure(__func__, cannot + systemReason(errno), message);
    }
    if (isDeviceRootDirectory(fd)) {
        close(fd);
        return failure(__func__, cannot + "it resolves to the device's root directory", message);
    }
    while (shown.size() > 1 && shown.back() == '/') {
        shown.pop_back();
    }
    std::string reason;
    if (!removeContents(fd, shown, &reason)) {
        return failure(__func__, cannot + reason, message);
    }
    if (rmdir(host.c_str()) != 0) {
        return failure(__func__, cannot + systemReason(errno), message);
    }
    ixoLogger("Agent", __func__, __LINE__, 3, "Deleted directory '%s'", path);
    return nullptr;
}

}  // namespace

// Null on success. On failure a malloc'd error class "file_error", and, when
// message is not null, a malloc'd text naming the path and the reason.
extern "C" char *pDeleteFile(const char *path, char **message) {
    try {
        return deleteFile(path, message);
    } catch (const std::bad_alloc &) {
        return strdup(errorClass);
    }
}

extern "C" char *pDeleteDirectory(const char *path, char **message) {
    try {
        return deleteDirectory(path, message);
    } catch (const std::bad_alloc &) {
        return strdup(errorClass);
    }
}
