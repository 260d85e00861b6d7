#include "agent/replacedFileOwner.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace agent {

namespace {

constexpr mode_t kNewFileMode = 0644;

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

}  // namespace agent
