// Runs device command lines inside the simulated root exactly as system(3)
// runs them on the device: same shell invocation, same signal handling, same
// wait status.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "sim/sim.h"

namespace sim {

namespace {

const char kNeedsRoot[] =
    "the simulated device needs root (or user namespaces) to run device programs\n";

// Everything the child needs, made before fork: the child itself makes only
// async-signal-safe calls.
struct ChildPlan {
    const char *root;
    const char *line;
    bool mapToRoot;
    char uidMap[48];
    char gidMap[48];
    sigset_t mask;
    struct sigaction interrupt;
    struct sigaction quit;
};

void say(const char *text) {
    size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t wrote = ::write(STDERR_FILENO, text, length);
        if (wrote <= 0) {
            return;
        }
        text += wrote;
        length -= static_cast<size_t>(wrote);
    }
}

void sayFailure(const char *what, const char *path) {
    const char *reason = std::strerror(errno);
    say(what);
    say(path);
    say(": ");
    say(reason);
    say("\n");
}

bool writeProcFile(const char *path, const char *text) {
    int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    size_t length = std::strlen(text);
    bool written = ::write(fd, text, length) == static_cast<ssize_t>(length);
    return ::close(fd) == 0 && written;
}

// Device programs get their own host name and network. Busybox sh runs some
// applets (hostname, ip ...) in-process whatever the PATH says; inside these
// namespaces they cannot change this machine. A caller that is not root is
// made root of a new user namespace so that it may chroot.
bool isolate(const ChildPlan &plan) {
    int flags = CLONE_NEWUTS | CLONE_NEWNET | (plan.mapToRoot ? CLONE_NEWUSER : 0);
    if (::unshare(flags) != 0) {
        if (plan.mapToRoot) {
            say(kNeedsRoot);
        } else {
            sayFailure("cannot give the simulated device its own namespaces for ", plan.root);
        }
        return false;
    }
    if (plan.mapToRoot && !(writeProcFile("/proc/self/setgroups", "deny") &&
                            writeProcFile("/proc/self/uid_map", plan.uidMap) &&
                            writeProcFile("/proc/self/gid_map", plan.gidMap))) {
        say(kNeedsRoot);
        return false;
    }
    return true;
}

[[noreturn]] void runChild(const ChildPlan &plan) {
    ::sigaction(SIGINT, &plan.interrupt, nullptr);
    ::sigaction(SIGQUIT, &plan.quit, nullptr);
    ::sigprocmask(SIG_SETMASK, &plan.mask, nullptr);
    if (!isolate(plan)) {
        ::_exit(127);
    }
    if (::chroot(plan.root) != 0) {
        sayFailure("cannot enter the simulated device ", plan.root);
        ::_exit(127);
    }
    if (::chdir("/") != 0) {
        sayFailure("cannot change to / in the simulated device ", plan.root);
        ::_exit(127);
    }
    ::execl("/bin/sh", "sh", "-c", plan.line, static_cast<char *>(nullptr));
    sayFailure("cannot start /bin/sh in the simulated device ", plan.root);
    ::_exit(127);
}

// Callers on several threads share the process's signal dispositions: the
// first one in ignores SIGINT and SIGQUIT, the last one out restores them.
std::mutex interruptLock;
int commandsRunning = 0;
struct sigaction callerInterrupt;
struct sigaction callerQuit;

void ignoreInterrupts(ChildPlan *plan) {
    std::lock_guard<std::mutex> lock(interruptLock);
    if (commandsRunning++ == 0) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGINT, &ignore, &callerInterrupt);
        ::sigaction(SIGQUIT, &ignore, &callerQuit);
    }
    plan->interrupt = callerInterrupt;
    plan->quit = callerQuit;
}

void restoreInterrupts() {
    std::lock_guard<std::mutex> lock(interruptLock);
    if (--commandsRunning == 0) {
        ::sigaction(SIGINT, &callerInterrupt, nullptr);
        ::sigaction(SIGQUIT, &callerQuit, nullptr);
    }
}

int waitFor(pid_t child) {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(child, &status, 0);
    } while (done < 0 && errno == EINTR);
    return done < 0 ? -1 : status;
}

}  // namespace

int chrootRunner(const char *commandLine) {
    const std::string &dir = root();
    if (dir.empty()) {
        std::fprintf(stderr,
                     "sim::chrootRunner: no simulated device root is set; not running \"%s\" "
                     "on this machine\n",
                     commandLine == nullptr ? "(shell check)" : commandLine);
        return commandLine == nullptr ? 0 : -1;
    }
    if (commandLine == nullptr) {
        return ::access((dir + "/bin/sh").c_str(), X_OK) == 0 ? 1 : 0;
    }

    ChildPlan plan{};
    plan.root = dir.c_str();
    plan.line = commandLine;
    plan.mapToRoot = ::geteuid() != 0;
    std::snprintf(plan.uidMap, sizeof plan.uidMap, "0 %u 1\n", static_cast<unsigned>(::geteuid()));
    std::snprintf(plan.gidMap, sizeof plan.gidMap, "0 %u 1\n", static_cast<unsigned>(::getegid()));

    ignoreInterrupts(&plan);
    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    ::pthread_sigmask(SIG_BLOCK, &childSignal, &plan.mask);

    pid_t child = ::fork();
    if (child == 0) {
        runChild(plan);
    }
    int status = child < 0 ? -1 : waitFor(child);

    int savedErrno = errno;
    ::pthread_sigmask(SIG_SETMASK, &plan.mask, nullptr);
    restoreInterrupts();
    errno = savedErrno;
    return status;
}

}  // namespace sim
