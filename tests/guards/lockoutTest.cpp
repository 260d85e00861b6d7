// The lockout's process tree: the agent's lock process, its dialog process
// running lockdlg, and how both are torn down and collected.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/support/support.h"

extern char **environ;

using ::testing::HasSubstr;

namespace {

using Clock = std::chrono::steady_clock;

// Parent process id from /proc/PID/stat, -1 when the process is gone.
int parentOf(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return -1;
    }
    // The command name may hold blanks; fields resume after its ')'.
    size_t close = line.rfind(')');
    char state = 0;
    int parent = -1;
    if (close == std::string::npos ||
        std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) != 2) {
        return -1;
    }
    return parent;
}

std::vector<int> childrenOf(int pid) {
    std::vector<int> children;
    DIR *proc = opendir("/proc");
    if (proc == nullptr) {
        return children;
    }
    while (dirent *entry = readdir(proc)) {
        int candidate = std::atoi(entry->d_name);
        if (candidate > 0 && parentOf(candidate) == pid) {
            children.push_back(candidate);
        }
    }
    closedir(proc);
    return children;
}

bool processExists(int pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

std::string fileWithNulsAsLines(const std::string &path) {
    std::string text = support::readFile(path);
    for (char &c : text) {
        if (c == '\0') {
            c = '\n';
        }
    }
    return text;
}

class LockoutTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        support::SimDeviceTest::TearDown();
    }

    // The lock process is our only child that is not a runner child.
    int lockProcess() {
        std::vector<int> children = childrenOf(getpid());
        return children.size() == 1 ? children[0] : -1;
    }

    // A lockdlg that stays a shell (no exec), so /proc shows exactly what the
    // lock process started.
    void installLoopingDialog() {
        support::writeFile(hostPath("/etc/addons.d/IXO_AGENT/lockdlg"),
                           "#!/bin/sh\nwhile :; do sleep 1; done\n");
        ASSERT_EQ(chmod(hostPath("/etc/addons.d/IXO_AGENT/lockdlg").c_str(), 0755), 0);
    }
};

TEST_F(LockoutTest, SecondBeginFailsAndLeavesTheFirstLockout) {
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    EXPECT_EQ(userLockedOut(), 1);
    int lock = lockProcess();
    ASSERT_GT(lock, 0);

    EXPECT_EQ(beginUserLockoutDialog(), -1);
    EXPECT_THAT(support::logText(), HasSubstr("User already locked out"));
    EXPECT_EQ(userLockedOut(), 1);
    EXPECT_TRUE(processExists(lock));
    EXPECT_EQ(childrenOf(getpid()).size(), 1u);

    EXPECT_EQ(endUserLockoutDialog(), 0);
    EXPECT_EQ(userLockedOut(), 0);
}

TEST_F(LockoutTest, EndWithoutBeginFailsAndSignalsNothing) {
    EXPECT_EQ(endUserLockoutDialog(), -1);
    EXPECT_THAT(support::logText(), HasSubstr("User not currently locked out"));
    EXPECT_EQ(userLockedOut(), 0);
}

TEST_F(LockoutTest, SlotIsFreeAgainRightAfterEnd) {
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    ASSERT_EQ(endUserLockoutDialog(), 0);
    EXPECT_EQ(beginUserLockoutDialog(), 0);
    EXPECT_EQ(userLockedOut(), 1);
    EXPECT_EQ(endUserLockoutDialog(), 0);
}

TEST_F(LockoutTest, DialogRunsWithTheAgentsEnvironmentAndOneWord) {
    installLoopingDialog();
    ASSERT_EQ(setenv("IXO_LOCKOUT_TEST_MARK", "environment travels", 1), 0);
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    int lock = lockProcess();
    ASSERT_GT(lock, 0);
    int dialog = -1;
    ASSERT_TRUE(waitFor(
        [&] {
            std::vector<int> children = childrenOf(lock);
            dialog = children.empty() ? -1 : children[0];
            // Wait until the dialog has replaced the forked lock process.
            return dialog > 0 &&
                   fileWithNulsAsLines("/proc/" + std::to_string(dialog) + "/cmdline")
                           .find("lockdlg") != std::string::npos;
        },
        std::chrono::seconds(3)));

    std::string expected;
    for (char **variable = environ; *variable != nullptr; ++variable) {
        expected += std::string(*variable) + "\n";
    }
    EXPECT_EQ(fileWithNulsAsLines("/proc/" + std::to_string(dialog) + "/environ"), expected);
    // A script's command line is its interpreter and its path: nothing else
    // was passed.
    EXPECT_EQ(fileWithNulsAsLines("/proc/" + std::to_string(dialog) + "/cmdline"),
              "/bin/sh\n" + hostPath("/etc/addons.d/IXO_AGENT/lockdlg") + "\n");
    unsetenv("IXO_LOCKOUT_TEST_MARK");

    auto ended = Clock::now();
    ASSERT_EQ(endUserLockoutDialog(), 0);
    EXPECT_TRUE(waitFor([&] { return !processExists(dialog); }, std::chrono::milliseconds(1500)));
    EXPECT_LT(Clock::now() - ended, std::chrono::milliseconds(1500));
    // The lock process has been collected: no zombie stays behind.
    EXPECT_FALSE(processExists(lock));
    EXPECT_EQ(waitpid(lock, nullptr, WNOHANG), -1);
    EXPECT_TRUE(childrenOf(getpid()).empty());
}

TEST_F(LockoutTest, StandInDialogIsStartedAndTornDown) {
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    ASSERT_TRUE(waitFor(
        [&] {
            for (const std::string &line : sim::programLog(root)) {
                if (line == "lockdlg") {
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(3)));
    int lock = lockProcess();
    ASSERT_GT(lock, 0);
    ASSERT_EQ(endUserLockoutDialog(), 0);
    EXPECT_FALSE(processExists(lock));
    EXPECT_TRUE(childrenOf(getpid()).empty());
}

TEST_F(LockoutTest, MissingDialogProgramIsLoggedAndTheLockoutStillEnds) {
    ASSERT_EQ(std::remove(hostPath("/etc/addons.d/IXO_AGENT/lockdlg").c_str()), 0);
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    EXPECT_TRUE(waitFor(
        [] {
            return support::logText().find("Not Able to launch lockdlg executable.") !=
                   std::string::npos;
        },
        std::chrono::seconds(3)));
    EXPECT_EQ(userLockedOut(), 1);
    EXPECT_EQ(endUserLockoutDialog(), 0);
    EXPECT_TRUE(childrenOf(getpid()).empty());
}

TEST_F(LockoutTest, SignalHandlerOnlyClearsTheFlagInTheLockProcess) {
    // In the agent's process the handler has no lockout to end.
    sigHandler(SIGTERM);
    EXPECT_EQ(userLockedOut(), 0);
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    sigHandler(SIGTERM);
    EXPECT_EQ(userLockedOut(), 1);
    EXPECT_EQ(endUserLockoutDialog(), 0);
}

}  // namespace
