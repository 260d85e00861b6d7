#include "sim/fileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace sim::files {

Fd::~Fd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

Fd &Fd::operator=(Fd &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

std::string failure(const std::string &what, const std::string &path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool readFile(const std::string &path, std::string *content, std::string *error) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        *error = failure("cannot open", path);
        return false;
    }
    // Files under /proc report a size of 0: read until the end instead.
    content->clear();
    char chunk[8192];
    for (;;) {
        ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            *error = failure("cannot read", path);
            return false;
        }
        if (got == 0) {
            return true;
        }
        content->append(chunk, static_cast<size_t>(got));
    }
}

bool writeAll(int fd, const char *data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool writeAll(int fd, const std::string &data) { return writeAll(fd, data.data(), data.size()); }

namespace {

// A temporary file beside path; removed again unless committed.
struct TempFile {
    std::string path;
    Fd fd;
    bool committed = false;
    ~TempFile() {
        if (!committed && fd.get() >= 0) {
            ::unlink(path.c_str());
        }
    }
};

bool openTempBeside(const std::string &path, TempFile *temp, std::string *error) {
    std::string pattern = path + ".new.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = failure("cannot create a temporary file for", path);
        return false;
    }
    temp->path = name.data();
    temp->fd = Fd(fd);
    return true;
}

bool commitTemp(TempFile *temp, const std::string &path, mode_t mode, std::string *error) {
    if (::fchmod(temp->fd.get(), mode) != 0) {
        *error = failure("cannot set the mode of", temp->path);
        return false;
    }
    if (::rename(temp->path.c_str(), path.c_str()) != 0) {
        *error = failure("cannot replace", path);
        return false;
    }
    temp->committed = true;
    return true;
}

}  // namespace

bool replaceFile(const std::string &path, const std::string &content, mode_t mode,
                 std::string *error) {
    TempFile temp;
    if (!openTempBeside(path, &temp, error)) {
        return false;
    }
    if (!writeAll(temp.fd.get(), content)) {
        *error = failure("cannot write", temp.path);
        return false;
    }
    return commitTemp(&temp, path, mode, error);
}

bool removeTree(const std::string &path, std::string *error) {
    std::error_code code;
    std::filesystem::remove_all(path, code);
    if (code) {
        *error = "cannot remove " + path + ": " + code.message();
        return false;
    }
    return true;
}

bool makeDirectories(const std::string &path, mode_t mode, std::string *error) {
    if (path.empty()) {
        *error = "cannot create a directory with an empty name";
        return false;
    }
    size_t next = 0;
    while (next != std::string::npos) {
        next = path.find('/', next + 1);
        std::string part = path.substr(0, next);
        if (isDirectory(part)) {
            continue;
        }
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = failure("cannot create the directory", part);
            return false;
        }
        if (!isDirectory(part)) {
            errno = ENOTDIR;
            *error = failure("cannot create the directory", part);
            return false;
        }
        // mkdir's mode is cut by the umask; the device's modes (such as the
        // sticky, world-writable /tmp) are set exactly.
        if (next == std::string::npos && ::chmod(part.c_str(), mode) != 0) {
            *error = failure("cannot set the mode of", part);
            return false;
        }
    }
    return true;
}

}  // namespace sim::files
