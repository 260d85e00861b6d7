// The owner and mode of a file the agent writes in place of whatever stood at
// its name. Only a file the agent's own user made hands them on: a file
// another user planted (in /tmp, say) must not make root's new file theirs,
// or they could change it before it is read.
#pragma once

#include <sys/stat.h>

#include <string>

namespace agent {

// Gives the new file open as fd (path names it in reasons) the mode and
// owner of the regular file replaced, when the agent's effective user owns
// that file; else, and when nothing stood there (replaced null), mode 0644
// and the agent's owner. False with the reason when that cannot be done.
bool giveReplacedFileOwner(int fd, const std::string &path, const struct stat *replaced,
                           std::string *reason);

}  // namespace agent
