#define IXO_MODULE "Device"

#include "device/replacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

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

}  // namespace

bool giveReplacedFileOwner(int fd, const std::string &path, const struct stat *replaced,
                           std::string *reason) {
    bool inherited = replaced != nullptr && S_ISREG(replaced->st_mode) &&
                     replaced->st_uid == ::geteuid();
    if (inherited) {
        struct stat created;
        if (::fstat(fd, &created) != 0) {
            *reason = failure("cannot examine", path);
            return false;
        }
        // Before the mode: a change of group clears the set-ID bits.
        if (created.st_gid != replaced->st_gid &&
            ::fchown(fd, static_cast<uid_t>(-1), replaced->st_gid) != 0) {
            *reason = failure("cannot give the old group to", path);
            return false;
        }
    }
    if (::fchmod(fd, inherited ? replaced->st_mode & 07777 : kNewFileMode) != 0) {
        *reason = failure("cannot set the mode of", path);
        return false;
    }
    return true;
}

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0 && ::close(fd_) != 0) {
        IXO_LOG(IXO_ERROR, "%s", failure("cannot close", temporary_).c_str());
    }
    if (!temporary_.empty() && !committed_ && ::unlink(temporary_.c_str()) != 0) {
        IXO_LOG(IXO_ERROR, "%s", failure("cannot remove", temporary_).c_str());
    }
}

bool ReplacementFile::create(const std::string &hostPath, const std::string &shownPath,
                             std::string *error) {
    shown_ = shownPath;
    size_t slash = shownPath.rfind('/');
    std::string name = slash == std::string::npos ? shownPath : shownPath.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        *error = "'" + shownPath + "' names no file";
        return false;
    }
    if (hostPath.empty()) {
        *error = "'" + shownPath + "' cannot be resolved on the device";
        return false;
    }
    target_ = hostPath;
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
        *error = failure("cannot create a temporary file beside", shownPath);
        return false;
    }
    temporary_ = buffer.data();
    return true;
}

size_t ReplacementFile::write(const char *bytes, size_t length, std::string *error) {
    size_t done = 0;
    while (done < length) {
        ssize_t count = ::write(fd_, bytes + done, length - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            *error = count < 0 ? failure("cannot write", temporary_)
                               : "'" + temporary_ + "' took no more bytes";
            break;
        }
        done += static_cast<size_t>(count);
    }
    written_ += static_cast<long long>(done);
    return done;
}

bool ReplacementFile::commit(std::string *error) {
    struct stat old;
    bool replacing = ::lstat(target_.c_str(), &old) == 0;
    if (!giveReplacedFileOwner(fd_, temporary_, replacing ? &old : nullptr, error)) {
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
