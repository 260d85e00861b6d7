// The window manager's control file. Root appends QVWM_RESTART to it with the
// shell's ">>", which follows a symbolic link: one that a local user put at
// the name in the world-writable /tmp would have root append to any file.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "device/device.h"

namespace {
const char windowManagerControlFile[] = "/tmp/qvwm-:0.0";
}  // namespace

namespace device {

bool windowManagerControlFileUsable(std::string *error) {
    struct stat info;
    if (::lstat(deviceEntryPath(windowManagerControlFile).c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        *error = std::string("cannot examine ") + windowManagerControlFile + ": " +
                 std::strerror(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        *error = std::string(windowManagerControlFile) + " is a symbolic link";
        return false;
    }
    return true;
}

}  // namespace device
