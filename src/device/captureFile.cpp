// Capture files: a device program's output goes to a file under /tmp that
// root's shell writes through a redirection. /tmp is open to every user, so
// whatever stands at that name beforehand (a link placed for root's shell to
// write through, say) must not receive the output. The file is made afresh
// by the library before each command; made by root in the sticky /tmp, no
// other user can replace it until it is removed.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/device.h"
#include "handles.h"

namespace device {

bool createCaptureFile(const std::string &path, std::string *error) {
    std::string host = devicePath(path);
    if (::unlink(host.c_str()) != 0 && errno != ENOENT) {
        *error = "cannot remove " + path + ": " + std::strerror(errno);
        return false;
    }
    handles::Descriptor file{
        ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
    if (file.fd < 0) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace device
