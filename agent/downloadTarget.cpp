// The temporary file a download streams into. It lives in the destination's
// directory, so that the rename that puts it in place is atomic: a reader of
// the destination sees the old file or the whole new one, never a part.
#include "agent/downloadTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "agent/ixoagent.h"
#include "agent/replacedFileOwner.h"

namespace agent {

namespace {

// Room for ".", ".XXXXXX" and the name within NAME_MAX (255).
constexpr size_t kMaxNameInPattern = 200;

std::string failure(const std::string &what, const std::string &path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

}  // namespace

DownloadTarget::~DownloadTarget() {
    if (fd >= 0 && ::close(fd) != 0) {
        ixoLogger("Agent", __func__, __LINE__, 1, "%s",
                  failure("cannot close", temporary).c_str());
    }
    if (!temporary.empty() && !committed && ::unlink(temporary.c_str()) != 0) {
        ixoLogger("Agent", __func__, __LINE__, 1, "%s",
                  failure("cannot remove", temporary).c_str());
    }
}

bool DownloadTarget::open(const std::string &destinationPath, std::string *reason) {
    shown = destinationPath;
    size_t slash = destinationPath.rfind('/');
    std::string name =
        slash == std::string::npos ? destinationPath : destinationPath.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        *reason = "destination '" + shown + "' names no file";
        return false;
    }
    // The name itself is never followed: a link there is replaced.
    destination = deviceEntryPath(destinationPath);
    if (destination.empty()) {
        *reason = "destination '" + shown + "' cannot be resolved on the device";
        return false;
    }
    size_t hostSlash = destination.rfind('/');
    directory = hostSlash == std::string::npos ? std::string(".")
                : hostSlash == 0               ? std::string("/")
                                               : destination.substr(0, hostSlash);
    struct stat info;
    if (::lstat(destination.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *reason = "destination '" + shown + "' is a directory";
        return false;
    }
    std::string pattern = destination.substr(0, hostSlash + 1) + "." +
                          name.substr(0, kMaxNameInPattern) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = failure("cannot create a temporary file beside", shown);
        return false;
    }
    temporary = buffer.data();
    return true;
}

bool DownloadTarget::write(const char *bytes, size_t length, std::string *reason) {
    while (length > 0) {
        ssize_t count = ::write(fd, bytes, length);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            *reason = failure("cannot write", temporary);
            return false;
        }
        bytes += count;
        length -= static_cast<size_t>(count);
        written += count;
    }
    return true;
}

bool DownloadTarget::commit(std::string *reason) {
    struct stat old;
    bool replacing = ::lstat(destination.c_str(), &old) == 0;
    if (!giveReplacedFileOwner(fd, temporary, replacing ? &old : nullptr, reason)) {
        return false;
    }
    // A power cut after the rename must not leave an empty file in place.
    if (::fsync(fd) != 0) {
        *reason = failure("cannot sync", temporary);
        return false;
    }
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0) {
        *reason = failure("cannot close", temporary);
        return false;
    }
    if (::rename(temporary.c_str(), destination.c_str()) != 0) {
        *reason = failure("cannot rename the download to", shown);
        return false;
    }
    committed = true;
    int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
        // The file is in place; only its survival of a power cut is in doubt.
        ixoLogger("Agent", __func__, __LINE__, 2, "%s",
                  failure("cannot sync the directory of", shown).c_str());
    }
    if (dir >= 0) {
        ::close(dir);
    }
    return true;
}

}  // namespace agent
