// The agent upgrades itself: the running agent's directory is set aside, the
// new package installed, and a detached process starts a root script that
// waits for the command's answer to go out, stops every agent, drops the old
// directory and reboots into the new agent.
#define IXO_MODULE "PlatformCommands"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/addons.h"
#include "commands/handlerFrame.h"
#include "device/device.h"
#include "handles.h"
#include "ixo/guards.h"
#include "log.h"

namespace {

const char agentDirectory[] = "/etc/addons.d/IXO_AGENT";
const char setAsideDirectory[] = "/etc/addons.d/TMP_IXO_AGENT";
const char agentControlFile[] = "/etc/addons.d/IXO_AGENT/control";
const char restartLog[] = "/tmp/restartAgent.log";
const char restartScript[] = "/tmp/ixoAgentRestart.sh";
const char upgradeFailed[] = "Failed to upgrade agent";

// The 15 seconds give the agent time to report the command's success.
const char restartScriptText[] =
    "sleep 15\n"
    "sudo su -c \"kill `pidof ixoAgent`\"\n"
    "while [ -n \"`pidof ixoAgent`\" ] ; do sleep 1 ; done\n"
    "sudo su -c \"rw\"\n"
    "sudo su -c \"rm -rf /etc/addons.d/TMP_IXO_AGENT\"\n"
    "sudo su -c \"reboot\"\n"
    "sudo su -c \"ro\"\n";

struct Descriptor {
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }
    void reset() {
        if (fd >= 0 && ::close(fd) != 0) {
            IXO_LOG(IXO_ERROR, "cannot close '%s': %s", restartScript, std::strerror(errno));
        }
        fd = -1;
    }
    int release() {
        int value = fd;
        fd = -1;
        return value;
    }
    int fd;
};

bool existsOnDevice(const char *path) {
    struct stat info;
    return ::lstat(device::deviceEntryPath(path).c_str(), &info) == 0;
}

bool renameOnDevice(const char *from, const char *to) {
    std::string source = device::deviceEntryPath(from);
    std::string target = device::deviceEntryPath(to);
    if (::rename(source.c_str(), target.c_str()) != 0) {
        IXO_LOG(IXO_NOTICE, "cannot rename '%s' to '%s': %s", from, to, std::strerror(errno));
        return false;
    }
    return true;
}

// The control file is the proof of a good agent install.
bool controlFileReadable(const char *whose) {
    handles::File control(std::fopen(device::devicePath(agentControlFile).c_str(), "r"));
    if (!control) {
        IXO_LOG(IXO_ERROR, "the %s agent has no '%s': %s", whose, agentControlFile,
                std::strerror(errno));
        return false;
    }
    return true;
}

// An upgrade cut short (power lost before the restart script ran) leaves the
// set-aside directory behind, and the old agent cannot be renamed onto it.
// While the agent's directory still holds a good agent, the leftover is
// stale and goes; without one, the leftover may be the only good agent the
// device has, and it is kept.
bool clearLeftoverSetAside() {
    if (!existsOnDevice(setAsideDirectory)) {
        return true;
    }
    if (!controlFileReadable("running")) {
        IXO_LOG(IXO_ERROR, "keeping '%s', left by an earlier upgrade: it may hold the only good agent",
                setAsideDirectory);
        return false;
    }
    IXO_LOG(IXO_NOTICE, "removing '%s', left by an earlier upgrade", setAsideDirectory);
    char *message = nullptr;
    char *failure = pDeleteDirectory(setAsideDirectory, &message);
    if (failure != nullptr) {
        IXO_LOG(IXO_ERROR, "cannot remove '%s': %s %s", setAsideDirectory, failure,
                message != nullptr ? message : "");
    }
    std::free(failure);
    std::free(message);
    return failure == nullptr;
}

// The old agent moves to the set-aside directory, so that a failed install
// can be told from the old agent and undone. False when it stays in place:
// the install must not run over it then. A device without an agent directory
// has nothing to set aside (*setAside stays false).
bool setOldAgentAside(bool *setAside) {
    *setAside = false;
    if (!clearLeftoverSetAside()) {
        return false;
    }
    if (::rename(device::deviceEntryPath(agentDirectory).c_str(),
                 device::deviceEntryPath(setAsideDirectory).c_str()) != 0) {
        int error = errno;
        if (error == ENOENT && !existsOnDevice(agentDirectory)) {
            IXO_LOG(IXO_NOTICE, "no '%s' to set aside", agentDirectory);
            return true;
        }
        IXO_LOG(IXO_ERROR, "cannot set the old agent aside: rename of '%s' to '%s': %s",
                agentDirectory, setAsideDirectory, std::strerror(error));
        return false;
    }
    *setAside = true;
    return true;
}

// Puts the set-aside agent back and restores the write filter. What a failed
// install left in the agent's place goes first: the old directory could not
// be renamed over it.
void restoreOldAgent(bool setAside) {
    makeWritable(agentDirectory);
    if (setAside && existsOnDevice(agentDirectory)) {
        char *message = nullptr;
        char *failure = pDeleteDirectory(agentDirectory, &message);
        if (failure != nullptr) {
            IXO_LOG(IXO_ERROR, "cannot remove the failed install in '%s': %s %s", agentDirectory,
                    failure, message != nullptr ? message : "");
        }
        std::free(failure);
        std::free(message);
    }
    renameOnDevice(setAsideDirectory, agentDirectory);
    makeWriteProtected(agentDirectory);
}

// A new file: whatever stood at the fixed name in the world-writable /tmp
// (a link, a file of another user) is removed rather than written through.
int createRestartScript() {
    std::string error;
    int fd = device::createFreshFile(restartScript, 0644, &error);
    if (fd < 0) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
    }
    return fd;
}

bool writeAll(int fd, const char *text, size_t length) {
    while (length > 0) {
        ssize_t wrote = ::write(fd, text, length);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        text += wrote;
        length -= static_cast<size_t>(wrote);
    }
    return true;
}

// The upgrade process: detached from the agent, it outlives it, writes the
// restart script and starts it in the background as root.
[[noreturn]] void runUpgradeProcess(int scriptFd) {
    if (::daemon(0, 1) != 0) {
        IXO_LOG(IXO_ERROR, "Error trying to daemonize for upgrade");
    }
    bool written = writeAll(scriptFd, restartScriptText, sizeof restartScriptText - 1);
    if (!written) {
        IXO_LOG(IXO_ERROR, "cannot write '%s': %s", restartScript, std::strerror(errno));
    }
    if (::close(scriptFd) != 0) {
        IXO_LOG(IXO_ERROR, "cannot close '%s': %s", restartScript, std::strerror(errno));
        written = false;
    }
    if (!written) {
        ::_exit(1);
    }
    // Root's shell writes the script's trace: made afresh, so that nothing
    // planted at that name receives it.
    std::string error;
    if (!device::createCaptureFile(restartLog, &error)) {
        IXO_LOG(IXO_ERROR, "%s", error.c_str());
    }
    std::string startLine = device::sudoSuLine(std::string("sh -x ") + restartScript + " > " +
                                               restartLog + " 2>&1 &");
    int status = device::runDeviceCommand(startLine);
    if (status != 0) {
        IXO_LOG(IXO_ERROR, "cannot start the restart script: '%s' returned %d", startLine.c_str(),
                status);
    } else {
        IXO_LOG(IXO_PROGRESS, "started '%s'", startLine.c_str());
    }
    // Nothing of the agent's process may run here: no destructors, no atexit
    // handlers, no flushing of buffers it still holds.
    ::_exit(0);
}

// The process from fork() exits as soon as daemon() has made the detached
// one; collected here, it leaves no zombie behind in the agent.
void collectUpgradeProcess(pid_t child) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(child, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done < 0) {
        IXO_LOG(IXO_NOTICE, "cannot collect the upgrade process %d: %s", static_cast<int>(child),
                std::strerror(errno));
    }
}

}  // namespace

namespace commands {

int upgradeAgent(const std::string &localPath, const std::string &installLine, bool *keepLockout,
                 char **errorClass, char **message) {
    IXO_LOG(IXO_PROGRESS, "upgrading the agent from '%s'", localPath.c_str());
    makeWritable(agentDirectory);
    bool setAside = false;
    if (!setOldAgentAside(&setAside)) {
        makeWriteProtected(agentDirectory);
        setFailure(errorClass, message, "system_error", upgradeFailed);
        return -1;
    }
    int status = device::runDeviceCommand(installLine);
    IXO_LOG(IXO_TRACE, "'%s' returned %d", installLine.c_str(), status);

    if (!controlFileReadable("new")) {
        restoreOldAgent(setAside);
        setFailure(errorClass, message, "system_error", upgradeFailed);
        return -1;
    }
    Descriptor script(createRestartScript());
    if (script.fd < 0) {
        restoreOldAgent(setAside);
        setFailure(errorClass, message, "system_error", upgradeFailed);
        return -1;
    }
    pid_t child = ::fork();
    if (child < 0) {
        IXO_LOG(IXO_ERROR, "cannot start the upgrade process: %s", std::strerror(errno));
        script.reset();
        restoreOldAgent(setAside);
        setFailure(errorClass, message, "system_error", upgradeFailed);
        return -1;
    }
    if (child == 0) {
        runUpgradeProcess(script.release());
    }
    script.reset();
    collectUpgradeProcess(child);
    *keepLockout = true;
    return 0;
}

}  // namespace commands
