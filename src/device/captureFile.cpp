// Files root makes under /tmp for device programs: a capture file that root's
// shell writes through a redirection (and its reading back), the agent
// upgrade's restart script.
// /tmp is open to every user, so whatever stands at such a name beforehand (a
// link placed for root to write through, say) must not receive the content.
// The file is made afresh; made by root in the sticky /tmp, no other user can
// replace it until it is removed. A program that removes and makes it again
// leaves the name free for a moment, so what is read back must still be a
// file of root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/device.h"
#include "handles.h"

namespace device {

int createFreshFile(const std::string &path, mode_t mode, std::string *error) {
    std::string host = deviceEntryPath(path);
    if (::unlink(host.c_str()) != 0 && errno != ENOENT) {
        *error = "cannot remove " + path + ": " + std::strerror(errno);
        return -1;
    }
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
    }
    return fd;
}

bool createCaptureFile(const std::string &path, std::string *error) {
    handles::Descriptor file{createFreshFile(path, 0600, error)};
    return file.fd >= 0;
}

// Not following a link, and not waiting for a writer of a FIFO: what stands
// at the name is looked at before anything is read from it.
int openCaptureFileForReading(const std::string &path, bool *missing, std::string *error) {
    *missing = false;
    handles::Descriptor file{
        ::open(deviceEntryPath(path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        int reason = errno;
        *missing = reason == ENOENT;
        *error = reason == ELOOP ? path + " is a symbolic link"
                                 : "cannot open " + path + ": " + std::strerror(reason);
        return -1;
    }
    struct stat info;
    if (::fstat(file.fd, &info) != 0) {
        *error = "cannot examine " + path + ": " + std::strerror(errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = path + " is not a regular file";
        return -1;
    }
    if (info.st_uid != 0 && info.st_uid != ::geteuid()) {
        *error = path + " belongs to user " + std::to_string(info.st_uid);
        return -1;
    }
    int fd = file.fd;
    file.fd = -1;
    return fd;
}

}  // namespace device
