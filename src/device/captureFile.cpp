// Files root makes under /tmp for device programs: a capture file that root's
// shell writes through a redirection, the agent upgrade's restart script.
// /tmp is open to every user, so whatever stands at such a name beforehand (a
// link placed for root to write through, say) must not receive the content.
// The file is made afresh; made by root in the sticky /tmp, no other user can
// replace it until it is removed.
#include <fcntl.h>
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

}  // namespace device
