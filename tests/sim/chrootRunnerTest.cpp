#include <gtest/gtest.h>

#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using ChrootRunnerTest = support::SimDeviceTest;

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

// Without a root the line must not run on this machine.
TEST_F(ChrootRunnerTest, WithoutARootNothingRuns) {
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
