#define IXO_MODULE "Device"

#include "device/replacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "device/device.h"
#include "handles.h"
#include "log.h"

namespace device {

namespace {

constexpr mode_t kNewFileMode = 0644;
// Room for ".", ".XXXXXX" and the name within NAME_MAX (255).
constexpr size_t kMaxNameInPattern = 200;

std::string failure(const std::string &what, const std::string &path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

// A file made by another user (planted in /tmp, say) must not lend its owner
// or mode to root's file: they could change it before it is read. Only a
// regular file this process's user made hands them on.
bool giveOwnerAndMode(int fd, const std::string &target, const std::string &temporary,
                      std::string *error) {
    struct stat old;
    bool inherited =
        ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && old.st_uid == ::geteuid();
    if (inherited) {
        struct stat created;
        if (::fstat(fd, &created) != 0) {
            *error = failure("cannot examine", temporary);
            return false;
        }
        // Before the mode: a change of group clears the set-ID bits.
        if (created.st_gid != old.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
            *error = failure("cannot give the old group to", temporary);
            return false;
        }
    }
    if (::fchmod(fd, inherited ? old.st_mode & 07777 : kNewFileMode) != 0) {
        *error = failure("cannot set the mode of", temporary);
        return false;
    }
    return true;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0 && ::close(fd_) != 0) {
        IXO_LOG(IXO_ERROR, "%s", failure("cannot close", temporary_).c_str());
    }
    if (!temporary_.empty() && !committed_ && ::unlink(temporary_.c_str()) != 0) {
        IXO_LOG(IXO_ERROR, "%s", failure("cannot remove", temporary_).c_str());
    }
}

bool ReplacementFile::create(const std::string &path, std::string *error) {
    shown_ = path;
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        *error = "'" + path + "' names no file";
        return false;
    }
    // The name itself is never followed: a link there is replaced.
    target_ = deviceEntryPath(path);
    if (target_.empty()) {
        *error = "'" + path + "' cannot be resolved on the device";
        return false;
    }
    size_t hostSlash = target_.rfind('/');
    directory_ = hostSlash == std::string::npos ? std::string(".")
                 : hostSlash == 0               ? std::string("/")
                                                : target_.substr(0, hostSlash);
    std::string pattern = target_.substr(0, hostSlash + 1) + "." +
                          name.substr(0, kMaxNameInPattern) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0) {
        *error = failure("cannot create a temporary file beside", path);
        return false;
    }
    temporary_ = buffer.data();
    return true;
}

size_t ReplacementFile::write(const char *bytes, size_t length, std::string *error) {
    size_t written = 0;
    while (written < length) {
        ssize_t count = ::write(fd_, bytes + written, length - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            *error = count < 0 ? failure("cannot write", temporary_)
                               : "'" + temporary_ + "' took no more bytes";
            break;
        }
        written += static_cast<size_t>(count);
    }
    return written;
}

bool ReplacementFile::commit(std::string *error) {
    if (!giveOwnerAndMode(fd_, target_, temporary_, error)) {
        return false;
    }
    // A power cut after the rename must not leave an empty or cut file.
    if (::fsync(fd_) != 0) {
        *error = failure("cannot sync", temporary_);
        return false;
    }
    int closing = fd_;
    fd_ = -1;
    if (::close(closing) != 0) {
        *error = failure("cannot close", temporary_);
        return false;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        *error = failure("cannot rename '" + temporary_ + "' to", shown_);
        return false;
    }
    committed_ = true;
    // Until the directory is synced the rename may not survive a power cut.
    handles::Descriptor directory(::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd < 0 || ::fsync(directory.fd) != 0) {
        *error = failure("cannot sync the directory of", shown_);
        return false;
    }
    return true;
}

}  // namespace device
