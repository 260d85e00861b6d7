#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
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
    const struct {
        const char *line;
        int status;
    } kCases[] = {{"exit 0", 0},
                  {"exit 3", 3 * 256},
                  {"exit 255", 255 * 256},
                  {"false", 256},
                  {"no-such-program --now 2>/dev/null", 127 * 256}};
    for (const auto &c : kCases) {
        EXPECT_EQ(sim::chrootRunner(c.line), c.status) << c.line;
    }
    int killed = sim::chrootRunner("kill -9 $$");
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGKILL);
}

TEST_F(ChrootRunnerTest, BusyboxShellRunsTheLineUnchangedInsideTheDeviceRoot) {
    std::string name = "/tmp/quoted-" + std::to_string(getpid());
    std::string line = "[ \"$(pwd)\" = / ] && single='not $expanded'; double=\"sum $((2 + 3))\"; "
                       "back=`echo back quoted`; printf '%s|%s|%s\\n' \"$single\" \"$double\" \"$back\" > " +
                       name;
    ASSERT_EQ(sim::chrootRunner(line.c_str()), 0);
    EXPECT_EQ(support::readFile(hostPath(name)), "not $expanded|sum 5|back quoted\n");
    EXPECT_FALSE(support::exists(name));
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
        if (sim::chrootRunner("hostname simulated-client && [ \"$(hostname)\" = simulated-client ]") != 0) {
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

    for (int signal : {SIGINT, SIGQUIT}) {
        struct sigaction now {};
        ASSERT_EQ(sigaction(signal, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, countInterrupt) << signal;
    }
    raise(SIGINT);
    EXPECT_EQ(interruptsSeen, 1);
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
}

TEST_F(ChrootRunnerTest, LeavesTheCallersSignalMaskAsItWas) {
    sigset_t childSignal, original, after;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    ASSERT_EQ(sigprocmask(SIG_BLOCK, nullptr, &original), 0);
    for (int how : {SIG_UNBLOCK, SIG_BLOCK}) {
        sigprocmask(how, &childSignal, nullptr);
        sim::chrootRunner("exit 0");
        sigprocmask(SIG_BLOCK, nullptr, &after);
        EXPECT_EQ(sigismember(&after, SIGCHLD), how == SIG_BLOCK ? 1 : 0);
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);
}

TEST_F(ChrootRunnerTest, WithoutAShellOrARootNothingRuns) {
    EXPECT_EQ(sim::chrootRunner(nullptr), 1) << "a null line asks whether there is a shell";
    ASSERT_EQ(unlink(hostPath("/bin/sh").c_str()), 0);
    EXPECT_EQ(sim::chrootRunner(nullptr), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sim::chrootRunner("exit 0"), 127 * 256);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot start /bin/sh"), std::string::npos);

    // Without a root the line must not run on this machine.
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
TEST(UnprivilegedRunnerTest, EntersAUserNamespaceOrSaysRootIsNeeded) {
    char pattern[] = "/tmp/ixo-sim-user-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    std::string error;
    ASSERT_TRUE(sim::buildDevice(dir + "/root", &error)) << error;
    std::string errors = dir + "/stderr";
    support::writeFile(errors, "");
    ASSERT_EQ(chmod(errors.c_str(), 0666), 0);

    int probe = support::runAsLocalUser([] { return unshare(CLONE_NEWUSER) == 0 ? 0 : 1; });
    int status = support::runAsLocalUser([&] {
        int fd = open(errors.c_str(), O_WRONLY | O_TRUNC);
        if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) {
            return 121;
        }
        sim::setRoot(dir + "/root");
        int result = sim::chrootRunner("grep -q simulated /etc/sim/device && exit 7");
        return WIFEXITED(result) ? WEXITSTATUS(result) : 122;
    });
    std::string complaint = support::readFile(errors);
    support::removeTree(dir);
    ASSERT_TRUE(WIFEXITED(probe));
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (WEXITSTATUS(probe) == 0) {
        EXPECT_EQ(WEXITSTATUS(status), 7) << complaint;
    } else {
        EXPECT_EQ(WEXITSTATUS(status), 127);
        EXPECT_NE(complaint.find("needs root (or user namespaces)"), std::string::npos);
    }
}

}  // namespace
