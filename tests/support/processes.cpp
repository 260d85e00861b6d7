// Processes beside the test: a local user other than root, as the tests'
// attacker (a process that has become the user nobody, running beside the
// agent on the same device), and what the agent leaves running.
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/support/support.h"
#include "tests/support/support_internal.h"

namespace support {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

}  // namespace

void openToLocalUsers(const std::string &path) {
    const std::string &top = runDirectory();
    if (path.compare(0, top.size(), top) != 0) {
        throw std::runtime_error(path + " is not inside the test run's directory");
    }
    // Every directory from the run directory down, so that the user can
    // reach the path as it could on a device.
    for (size_t end = top.size(); end != std::string::npos; end = path.find('/', end + 1)) {
        std::string directory = path.substr(0, end);
        struct stat info;
        if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
            chmod(directory.c_str(), (info.st_mode & 07777) | 0111) != 0) {
            throw std::runtime_error("cannot open " + directory + ": " + std::strerror(errno));
        }
        if (end == path.size()) {
            break;
        }
    }
}

pid_t startAsLocalUser(const std::function<int()> &work) {
    pid_t child = fork();
    if (child == 0) {
        // Changing user makes a process undumpable, which would hide its
        // /proc/self files from it; a user who logged in has them.
        if (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0 ||
            prctl(PR_SET_DUMPABLE, 1) != 0) {
            _exit(120);
        }
        _exit(work());
    }
    if (child < 0) {
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    return child;
}

int waitForLocalUser(pid_t user) {
    int status = -1;
    while (waitpid(user, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

int runAsLocalUser(const std::function<int()> &work) {
    return waitForLocalUser(startAsLocalUser(work));
}

void stopLocalUser(pid_t user) {
    kill(user, SIGKILL);
    waitForLocalUser(user);
}

bool becomeSubreaper() { return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

void stopBeingSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 0); }

}  // namespace support
