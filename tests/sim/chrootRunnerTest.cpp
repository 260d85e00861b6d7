#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using ChrootRunnerTest = support::SimDeviceTest;

TEST_F(ChrootRunnerTest, ReturnsTheWaitStatusOfTheLine) {
    EXPECT_EQ(sim::chrootRunner("exit 0"), 0);
    EXPECT_EQ(sim::chrootRunner("exit 3"), 3 * 256);
    EXPECT_EQ(sim::chrootRunner("exit 255"), 255 * 256);
    EXPECT_EQ(sim::chrootRunner("false"), 1 * 256);
    EXPECT_EQ(sim::chrootRunner("no-such-program --now 2>/dev/null"), 127 * 256);

    int killed = sim::chrootRunner("kill -9 $$");
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGKILL);
}

TEST_F(ChrootRunnerTest, BusyboxShellReadsTheLineUnchanged) {
    int status = sim::chrootRunner(
        "single='not $expanded'; double=\"sum $((2 + 3))\"; back=`echo back quoted`; "
        "printf '%s|%s|%s\\n' \"$single\" \"$double\" \"$back\" > /tmp/quoted");
    ASSERT_EQ(status, 0);
    EXPECT_EQ(support::readFile(hostPath("/tmp/quoted")), "not $expanded|sum 5|back quoted\n");
}

TEST_F(ChrootRunnerTest, RunsInsideTheDeviceRoot) {
    std::string name = "chroot-check-" + std::to_string(getpid());
    std::string line = "[ \"$(pwd)\" = / ] && cat /etc/sim/device > /tmp/" + name;
    ASSERT_EQ(sim::chrootRunner(line.c_str()), 0);
    EXPECT_EQ(support::readFile(hostPath("/tmp/" + name)),
              support::readFile(hostPath("/etc/sim/device")));
    EXPECT_FALSE(support::exists("/tmp/" + name));
}

TEST_F(ChrootRunnerTest, DeviceProgramsCannotRenameTheCaller) {
    // busybox runs its hostname applet in-process, whatever the PATH holds.
    // The check runs in a child with a host name of its own, so that even a
    // runner that failed it could not rename this machine.
    pid_t child = fork();
    if (child == 0) {
        char before[256] = {};
        char after[256] = {};
        if (unshare(CLONE_NEWUTS) != 0 || gethostname(before, sizeof before - 1) != 0) {
            _exit(10);
        }
        if (sim::chrootRunner("hostname simulated-client && "
                              "[ \"$(hostname)\" = simulated-client ]") != 0) {
            _exit(11);
        }
        gethostname(after, sizeof after - 1);
        _exit(std::string(before) == after ? 0 : 12);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Counts the interrupt signals that reach this process.
volatile sig_atomic_t interruptsSeen = 0;
void countInterrupt(int) { interruptsSeen = interruptsSeen + 1; }

TEST_F(ChrootRunnerTest, IgnoresInterruptsWhileWaitingAndRestoresThem) {
    struct sigaction counting {};
    counting.sa_handler = countInterrupt;
    sigemptyset(&counting.sa_mask);
    struct sigaction oldInterrupt, oldQuit;
    ASSERT_EQ(sigaction(SIGINT, &counting, &oldInterrupt), 0);
    ASSERT_EQ(sigaction(SIGQUIT, &counting, &oldQuit), 0);
    interruptsSeen = 0;

    // The shell's parent is this process: its interrupts are for the command.
    EXPECT_EQ(sim::chrootRunner("kill -INT $PPID; kill -QUIT $PPID; exit 4"), 4 * 256);
    EXPECT_EQ(interruptsSeen, 0);

    struct sigaction now {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, countInterrupt);
    ASSERT_EQ(sigaction(SIGQUIT, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, countInterrupt);
    raise(SIGINT);
    EXPECT_EQ(interruptsSeen, 1);

    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
}

TEST_F(ChrootRunnerTest, LeavesTheCallersSignalMaskAsItWas) {
    sigset_t childSignal, original, after;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    ASSERT_EQ(sigprocmask(SIG_UNBLOCK, &childSignal, &original), 0);

    sim::chrootRunner("exit 0");
    sigprocmask(SIG_BLOCK, nullptr, &after);
    EXPECT_FALSE(sigismember(&after, SIGCHLD));

    sigprocmask(SIG_BLOCK, &childSignal, nullptr);
    sim::chrootRunner("exit 0");
    sigprocmask(SIG_BLOCK, nullptr, &after);
    EXPECT_TRUE(sigismember(&after, SIGCHLD));

    sigprocmask(SIG_SETMASK, &original, nullptr);
}

TEST_F(ChrootRunnerTest, NullLineTellsWhetherTheDeviceHasAShell) {
    EXPECT_EQ(sim::chrootRunner(nullptr), 1);
    ASSERT_EQ(unlink(hostPath("/bin/sh").c_str()), 0);
    EXPECT_EQ(sim::chrootRunner(nullptr), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sim::chrootRunner("exit 0"), 127 * 256);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot start /bin/sh"), std::string::npos);
}

TEST_F(ChrootRunnerTest, WithoutARootNothingRunsOnThisMachine) {
    std::string name = "/tmp/no-root-check-" + std::to_string(getpid());
    std::string line = "touch " + name;
    sim::setRoot("");
    testing::internal::CaptureStderr();
    int status = sim::chrootRunner(line.c_str());
    int shellCheck = sim::chrootRunner(nullptr);
    std::string complaint = testing::internal::GetCapturedStderr();
    sim::setRoot(root);

    EXPECT_EQ(status, -1);
    EXPECT_EQ(shellCheck, 0);
    EXPECT_NE(complaint.find("no simulated device root"), std::string::npos) << complaint;
    EXPECT_FALSE(support::exists(name));
}

// A user other than root gets into the device through a user namespace when
// the kernel offers one, and is told plainly when it does not.
class UnprivilegedRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ixo-sim-user-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
        std::string error;
        ASSERT_TRUE(sim::buildDevice(dir + "/root", &error)) << error;
    }
    void TearDown() override { support::removeTree(dir); }

    // Runs fn in a child process that has become the user nobody; returns its
    // wait status.
    template <typename Fn>
    int asNobody(Fn fn) {
        pid_t child = fork();
        if (child == 0) {
            // Changing user makes a process undumpable, which would hide its
            // /proc/self files from it; a user who logged in has them.
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 ||
                prctl(PR_SET_DUMPABLE, 1) != 0) {
                _exit(120);
            }
            _exit(fn());
        }
        int status = -1;
        waitpid(child, &status, 0);
        return status;
    }

    std::string dir;
};

TEST_F(UnprivilegedRunnerTest, EntersAUserNamespaceOrSaysRootIsNeeded) {
    int probe = asNobody([] { return unshare(CLONE_NEWUSER) == 0 ? 0 : 1; });
    ASSERT_TRUE(WIFEXITED(probe));
    bool namespacesAvailable = WEXITSTATUS(probe) == 0;

    std::string errors = dir + "/stderr";
    support::writeFile(errors, "");
    ASSERT_EQ(chmod(errors.c_str(), 0666), 0);
    std::string root = dir + "/root";
    int status = asNobody([&] {
        int fd = open(errors.c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) {
            return 121;
        }
        sim::setRoot(root);
        int result = sim::chrootRunner("grep -q simulated /etc/sim/device && exit 7");
        return WIFEXITED(result) ? WEXITSTATUS(result) : 122;
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (namespacesAvailable) {
        EXPECT_EQ(WEXITSTATUS(status), 7) << support::readFile(errors);
    } else {
        EXPECT_EQ(WEXITSTATUS(status), 127);
        EXPECT_NE(support::readFile(errors).find("needs root (or user namespaces)"),
                  std::string::npos);
    }
}

}  // namespace
