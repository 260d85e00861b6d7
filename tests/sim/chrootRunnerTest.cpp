#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using ChrootRunnerTest = support::SimDeviceTest;

TEST_F(ChrootRunnerTest, RunsTheLineInsideTheDeviceRootAndReturnsItsWaitStatus) {
    const struct {
        const char *line;
        int status;
    } kCases[] = {{"exit 0", 0}, {"exit 255", 255 * 256}, {"no-such-program 2>/dev/null", 127 * 256}};
    for (const auto &c : kCases) {
        EXPECT_EQ(sim::chrootRunner(c.line), c.status) << c.line;
    }
    int killed = sim::chrootRunner("kill -9 $$");
    ASSERT_TRUE(WIFSIGNALED(killed)) << killed;
    EXPECT_EQ(WTERMSIG(killed), SIGKILL);

    std::string name = "/tmp/inside-" + std::to_string(getpid());
    ASSERT_EQ(sim::chrootRunner(("[ \"$(pwd)\" = / ] && echo here > " + name).c_str()), 0);
    EXPECT_EQ(support::readFile(hostPath(name)), "here\n");
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

TEST_F(ChrootRunnerTest, WithoutAShellOrARootNothingRuns) {
    EXPECT_EQ(sim::chrootRunner(nullptr), 1) << "a null line asks whether there is a shell";
    ASSERT_EQ(unlink(hostPath("/bin/sh").c_str()), 0);
    EXPECT_EQ(sim::chrootRunner(nullptr), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(sim::chrootRunner("exit 0"), 127 * 256);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot start /bin/sh"), std::string::npos);

    // Without a root the line must not run on this machine.
    std::string name = "/tmp/no-root-check-" + std::to_string(getpid());
    sim::setRoot("");
    testing::internal::CaptureStderr();
    int status = sim::chrootRunner(("touch " + name).c_str());
    std::string complaint = testing::internal::GetCapturedStderr();
    sim::setRoot(root);
    EXPECT_EQ(status, -1);
    EXPECT_NE(complaint.find("no simulated device root"), std::string::npos) << complaint;
    EXPECT_FALSE(support::exists(name));
}

// A user other than root gets into the device through a user namespace when
// the kernel offers one, and is told plainly when it does not.
TEST(UnprivilegedRunnerTest, EntersAUserNamespaceOrSaysRootIsNeeded) {
    std::string dir = support::makeTempDir("sim-user-");
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    support::openToLocalUsers(dir);
    std::string error;
    ASSERT_TRUE(sim::buildDevice(dir + "/root", &error)) << error;
    int probe = support::runAsLocalUser([] { return unshare(CLONE_NEWUSER) == 0 ? 0 : 1; });
    testing::internal::CaptureStderr();
    int status = support::runAsLocalUser([&] {
        sim::setRoot(dir + "/root");
        int result = sim::chrootRunner("grep -q simulated /etc/sim/device && exit 7");
        return WIFEXITED(result) ? WEXITSTATUS(result) : 122;
    });
    std::string complaint = testing::internal::GetCapturedStderr();
    support::removeTree(dir);
    ASSERT_TRUE(WIFEXITED(probe) && WIFEXITED(status)) << status;
    if (WEXITSTATUS(probe) == 0) {
        EXPECT_EQ(WEXITSTATUS(status), 7) << complaint;
    } else {
        EXPECT_EQ(WEXITSTATUS(status), 127);
        EXPECT_NE(complaint.find("needs root (or user namespaces)"), std::string::npos);
    }
}

}  // namespace
