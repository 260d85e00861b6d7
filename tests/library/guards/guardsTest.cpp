// The lockout's process tree: the agent's lock process, its dialog process
// running lockdlg, and how both are torn down and collected.
// The write filter against the simulated device's mount table and its rw and
// ro stand-ins.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/support/support.h"

extern char **environ;

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

// The children of a single-threaded process.
std::vector<int> childrenOf(int pid) {
    const std::string id = std::to_string(pid);
    std::ifstream list("/proc/" + id + "/task/" + id + "/children");
    EXPECT_TRUE(list.is_open() || kill(pid, 0) != 0) << "no child list for " << pid;
    std::vector<int> children;
    for (int child; list >> child;) {
        children.push_back(child);
    }
    return children;
}

// Neither gone nor a zombie waiting for its parent.
bool processRunning(int pid) {
    std::string stat = support::readFile("/proc/" + std::to_string(pid) + "/stat");
    size_t state = stat.rfind(") ");
    return state != std::string::npos && stat.compare(state + 2, 1, "Z") != 0;
}

template <typename Condition>
bool waitFor(Condition condition, int seconds) {
    for (int tick = 0; tick < seconds * 100 && !condition(); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// /proc/PID/cmdline or environ, one string a line.
std::string procStrings(int pid, const char *what) {
    std::string text = support::readFile("/proc/" + std::to_string(pid) + "/" + what);
    std::replace(text.begin(), text.end(), '\0', '\n');
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

    // Begins a lockout: the lock process (our only child) and its dialog
    // process once it runs lockdlg, else -1.
    int beginWithDialog(int *lock) {
        EXPECT_EQ(beginUserLockoutDialog(), 0);
        std::vector<int> ours = childrenOf(getpid());
        *lock = ours.size() == 1 ? ours[0] : -1;
        int dialog = -1;
        waitFor([&] {
            std::vector<int> children = *lock > 0 ? childrenOf(*lock) : std::vector<int>{};
            dialog = children.empty() ? -1 : children[0];
            return dialog > 0 && procStrings(dialog, "cmdline").find("lockdlg") != std::string::npos;
        }, 3);
        return dialog;
    }
};

// Without a dialog program the dialog process exits at once: the lockout
// still holds its one slot and ends.
TEST_F(LockoutTest, OneLockoutAtATimeEvenWithoutADialogProgram) {
    ASSERT_EQ(std::remove(hostPath("/etc/addons.d/IXO_AGENT/lockdlg").c_str()), 0);
    // The signal handler only ends the lock process's loop, never the agent's lockout.
    sigHandler(SIGTERM);
    EXPECT_EQ(endUserLockoutDialog(), -1);
    EXPECT_EQ(userLockedOut(), 0);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(beginUserLockoutDialog(), 0);
        EXPECT_EQ(userLockedOut(), 1);
        EXPECT_EQ(beginUserLockoutDialog(), -1);
        EXPECT_THAT(childrenOf(getpid()), SizeIs(1));
        sigHandler(SIGTERM);
        EXPECT_EQ(userLockedOut(), 1);
        EXPECT_EQ(endUserLockoutDialog(), 0);
        EXPECT_EQ(userLockedOut(), 0);
        EXPECT_THAT(childrenOf(getpid()), IsEmpty());
    }
}

// The dialog ends with the lockout, and also when its lock process is killed
// with SIGKILL, which leaves it no time to kill the dialog.
TEST_F(LockoutTest, DialogRunsWithTheAgentsEnvironmentAndEndsEvenWithAKilledLockProcess) {
    // A lockdlg that stays a shell (no exec), so /proc shows exactly what the
    // lock process started.
    const std::string program = hostPath("/etc/addons.d/IXO_AGENT/lockdlg");
    support::writeFile(program, "#!/bin/sh\nwhile :; do sleep 1; done\n");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    ASSERT_EQ(setenv("IXO_LOCKOUT_TEST_MARK", "environment travels", 1), 0);
    int lock = -1;
    int dialog = beginWithDialog(&lock);
    ASSERT_GT(dialog, 0);

    std::string expected;
    for (char **variable = environ; *variable != nullptr; ++variable) {
        expected += std::string(*variable) + "\n";
    }
    EXPECT_EQ(procStrings(dialog, "environ"), expected);
    // A script's command line is its interpreter and its path: nothing else was passed.
    EXPECT_EQ(procStrings(dialog, "cmdline"), "/bin/sh\n" + program + "\n");
    unsetenv("IXO_LOCKOUT_TEST_MARK");

    ASSERT_EQ(endUserLockoutDialog(), 0);
    EXPECT_TRUE(waitFor([&] { return !processRunning(dialog); }, 10));
    // The lock process has been collected: no zombie stays behind.
    EXPECT_EQ(waitpid(lock, nullptr, WNOHANG), -1);
    EXPECT_THAT(childrenOf(getpid()), IsEmpty());

    dialog = beginWithDialog(&lock);
    ASSERT_GT(dialog, 0);
    ASSERT_EQ(kill(lock, SIGKILL), 0);
    EXPECT_TRUE(waitFor([&] { return !processRunning(dialog); }, 3))
        << "the lock dialog outlived its lock process";
    EXPECT_EQ(endUserLockoutDialog(), 0);
    EXPECT_THAT(childrenOf(getpid()), IsEmpty());
    // Only a failed run leaves it: it is not left on this machine.
    if (processRunning(dialog)) {
        kill(dialog, SIGKILL);
    }
}

class WriteFilterTest : public support::SimDeviceTest {};

// Calls an ixo* function whose message must come back null.
int clearingMessage(int (*function)(const char *, char **), const char *path) {
    char *message = reinterpret_cast<char *>(&message);
    int result = function(path, &message);
    EXPECT_EQ(message, nullptr);
    return result;
}

// The simulated table lists "rootfs / rootfs rw" first, then "/" as
// ro,noatime; /home and /temp are rw.
TEST_F(WriteFilterTest, PathsAnswerForTheMountTheyLieOn) {
    const struct {
        const char *path;
        int writable, filter;
    } cases[] = {
        {"/", 0, 1},           {"/tmp/file", 0, 1},       {"/etc/passwd", 0, 1},
        {"/homework/x", 1, 0}, {"/home/root/file", 1, 0}, {"/temp/x", 1, 0},
        {"relative", 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ixoIsWritable(c.path), c.writable);
        EXPECT_EQ(hasWriteFilter(c.path), c.filter);
        int filter = 7, readOnly = 7;
        char *message = reinterpret_cast<char *>(&message);
        EXPECT_EQ(ixoGetWriteFilterStatus(c.path, &filter, &readOnly, &message), 0);
        EXPECT_EQ(filter, c.filter);
        EXPECT_EQ(readOnly, c.writable ? 0 : 1);
        EXPECT_EQ(message, nullptr);
    }
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    EXPECT_EQ(ixoIsWritable("/tmp/file"), 1);
    // "/homework" lies on "/home": a plain prefix match.
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 0);
    EXPECT_EQ(ixoIsWritable("/homework/x"), 0);
    // An option that merely contains "ro" is not read-only.
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "rw,errors=remount-ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 1);
    EXPECT_EQ(ixoInitWriteFilterFunctions(), 0);

    // What cannot be determined counts as writable: a known mount point
    // missing from the table, or no table at all.
    support::writeFile(hostPath("/proc/mounts"), "/dev/sda1 / ext2 ro 0 0\n");
    EXPECT_EQ(ixoIsWritable("/temp/x"), 1);
    ASSERT_EQ(std::remove(hostPath("/proc/mounts").c_str()), 0);
    EXPECT_EQ(ixoIsWritable("/tmp/x"), 1);
}

// The switches run even when the filter is already in their state; a path
// without filter runs nothing.
TEST_F(WriteFilterTest, SwitchesRunForFilteredPathsAndReportTheirFailure) {
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/home/root/x"), -1);
    EXPECT_EQ(makeWriteProtected("/temp/x"), -1);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    EXPECT_EQ(makeWritable("/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/etc/x"), 0);
    EXPECT_EQ(clearingMessage(ixoMakeReadOnly, "/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("sudo su -c \"rw\"", "sudo su -c \"rw\"", "sudo su -c \"ro\""));

    sim::setKnob(root, "rw.exit", "1");
    sim::setKnob(root, "ro.exit", "1");
    EXPECT_EQ(makeWritable("/x"), -1);
    EXPECT_EQ(makeWriteProtected("/x"), -1);
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/x"), -1);
    EXPECT_EQ(clearingMessage(ixoMakeReadOnly, "/x"), -1);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

}  // namespace
