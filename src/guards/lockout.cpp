// The lock screen shown while a command changes the device. The agent forks a
// lock process, which forks the dialog process running the device's lockdlg
// program and waits for SIGTERM; then it kills the dialog and exits. Neither
// outlives the process it serves: the lock process ends when the agent dies,
// the dialog when the lock process dies.
#define IXO_MODULE "LockoutUser"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "device/device.h"
#include "ixo/guards.h"
#include "log.h"

extern char **environ;

namespace {

const char lockDialogProgram[] = "/etc/addons.d/IXO_AGENT/lockdlg";

// The single lockout slot, in the agent's process.
pid_t lockoutPid = 0;
// In the lock process: cleared by sigHandler, polled by the wait loop.
volatile sig_atomic_t lockRunning = 1;
// Lock processes that were told to end but had not exited yet.
std::vector<pid_t> endingLockProcesses;

// True once the process has been collected (or is no child of ours).
bool collected(pid_t pid) {
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result == pid || (result < 0 && errno == ECHILD);
}

void collectEndedLockProcesses() {
    std::vector<pid_t> stillRunning;
    for (pid_t pid : endingLockProcesses) {
        if (!collected(pid)) {
            stillRunning.push_back(pid);
        }
    }
    endingLockProcesses.swap(stillRunning);
}

// A lock process leaves its loop as soon as SIGTERM interrupts its sleep, so
// it is normally gone within milliseconds; one that takes longer is
// collected by a later lockout call instead of being waited for here.
void collectLockProcess(pid_t pid) {
    const struct timespec step = {0, 10 * 1000 * 1000};
    for (int attempt = 0; attempt < 150; ++attempt) {
        if (collected(pid)) {
            return;
        }
        nanosleep(&step, nullptr);
    }
    IXO_LOG(IXO_PROGRESS, "lock process %d still ending; collecting it later", static_cast<int>(pid));
    endingLockProcesses.push_back(pid);
}

// Has the kernel send signal to this process when its parent dies. False,
// and the process is to end at once, when that cannot be set or the parent
// has died already (too late for the kernel to send it).
bool endsWithParent(int signal, pid_t parent) {
    if (prctl(PR_SET_PDEATHSIG, signal) != 0) {
        IXO_LOG(IXO_ERROR, "cannot have the process end with its parent: %s",
                std::strerror(errno));
        return false;
    }
    return getppid() == parent;
}

[[noreturn]] void runLockProcess(pid_t agent) {
    lockRunning = 1;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = sigHandler;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: system calls interrupted by SIGTERM are restarted (what
    // siginterrupt(SIGTERM, 0) would also ask for).
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, nullptr) != 0) {
        IXO_LOG(IXO_ERROR, "cannot install the SIGTERM handler: %s", std::strerror(errno));
    }
    // The agent may run with SIGTERM blocked; the lock process must hear it.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &terminate, nullptr);
    // A killed agent cannot end its lockout, and a new agent does not know
    // it: the agent's death ends the lockout as endUserLockoutDialog does.
    // (The signal comes when the thread that began the lockout ends; the
    // agent's handlers run on its main thread.)
    if (!endsWithParent(SIGTERM, agent)) {
        _exit(0);
    }

    pid_t lockProcess = getpid();
    pid_t dialogPid = fork();
    if (dialogPid == 0) {
        // A lock process killed with SIGKILL cannot kill its dialog; this
        // survives the exec of lockdlg.
        if (!endsWithParent(SIGKILL, lockProcess)) {
            _exit(127);
        }
        showLock();
        _exit(127);
    }
    if (dialogPid < 0) {
        // No dialog to tear down later: the lock process still waits for the
        // end of the lockout, but signals nothing.
        IXO_LOG(IXO_ERROR, "Error creating the lock dialog process: %s", std::strerror(errno));
    }
    while (lockRunning) {
        pSleep(1);
    }
    if (dialogPid > 0) {
        kill(dialogPid, SIGKILL);
        // SIGKILL cannot be caught, so this wait is short; collecting here
        // keeps the dead dialog from lingering as a zombie.
        while (waitpid(dialogPid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    _exit(0);
}

}  // namespace

extern "C" {

IXO_API void sigHandler(int) { lockRunning = 0; }

IXO_API void showLock(void) {
    std::string program = device::devicePath(lockDialogProgram);
    execle(program.c_str(), "lockdlg", static_cast<char *>(nullptr), environ);
    IXO_LOG(IXO_ERROR, "Not Able to launch lockdlg executable.");
}

IXO_API int userLockedOut(void) { return lockoutPid != 0 ? 1 : 0; }

IXO_API int beginUserLockoutDialog(void) {
    collectEndedLockProcesses();
    if (userLockedOut()) {
        IXO_LOG(IXO_ERROR, "User already locked out");
        return -1;
    }
    pid_t agent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        runLockProcess(agent);
    }
    if (pid < 0) {
        IXO_LOG(IXO_ERROR, "Error locking out user");
        lockoutPid = 0;
        return -1;
    }
    lockoutPid = pid;
    return 0;
}

IXO_API int endUserLockoutDialog(void) {
    if (!userLockedOut()) {
        IXO_LOG(IXO_ERROR, "User not currently locked out");
        return -1;
    }
    pid_t pid = lockoutPid;
    kill(pid, SIGTERM);
    lockoutPid = 0;
    collectLockProcess(pid);
    collectEndedLockProcesses();
    return 0;
}

}  // extern "C"
