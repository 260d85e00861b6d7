#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using Lines = std::vector<std::string>;

class StandInTest : public support::SimDeviceTest {
protected:
    std::string rootOptions() const { return sim::mountOptions(root, "/"); }

    // Starts a stand-in from the host by its host path, as the library starts
    // the lock dialog.
    pid_t startFromHost(const std::string &devicePath, std::vector<std::string> arguments = {}) {
        std::string program = hostPath(devicePath);
        arguments.insert(arguments.begin(), devicePath.substr(devicePath.rfind('/') + 1));
        std::vector<char *> argv;
        for (std::string &argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        pid_t child = fork();
        if (child == 0) {
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        return child;
    }
    static int waitFor(pid_t child) {
        int status = -1;
        waitpid(child, &status, 0);
        return status;
    }
};

TEST_F(StandInTest, RwAndRoRemountRootAndLog) {
    std::string before = support::readFile(hostPath("/proc/mounts"));
    ASSERT_EQ(rootOptions(), "ro,noatime");
    EXPECT_EQ(sim::chrootRunner("rw"), 0);
    EXPECT_EQ(rootOptions(), "rw,noatime");
    EXPECT_EQ(sim::chrootRunner("/sbin/rw"), 0);
    EXPECT_EQ(rootOptions(), "rw,noatime");
    EXPECT_EQ(sim::mountOptions(root, "/home"), "rw,noatime");
    EXPECT_EQ(sim::chrootRunner("ro"), 0);
    EXPECT_EQ(support::readFile(hostPath("/proc/mounts")), before);
    EXPECT_EQ(sim::programLog(root), (Lines{"rw", "rw", "ro"}));
}

TEST_F(StandInTest, FailingRwChangesNothing) {
    sim::setKnob(root, "rw.exit", "1\n");
    EXPECT_EQ(sim::chrootRunner("rw"), 1 * 256);
    EXPECT_EQ(rootOptions(), "ro,noatime");
    sim::setKnob(root, "rw.exit", "not a number");
    EXPECT_EQ(sim::chrootRunner("rw 2>/dev/null"), 126 * 256);
    EXPECT_EQ(rootOptions(), "ro,noatime");
    sim::removeKnob(root, "rw.exit");
    EXPECT_EQ(sim::chrootRunner("rw"), 0);
    EXPECT_EQ(rootOptions(), "rw,noatime");
    EXPECT_EQ(sim::programLog(root), (Lines{"rw", "rw", "rw"}));

    support::writeFile(hostPath("/proc/mounts"), "rootfs / rootfs rw 0 0\n");
    EXPECT_EQ(sim::chrootRunner("rw 2>/dev/null"), 1 * 256) << "no root mount to change";
    EXPECT_EQ(support::readFile(hostPath("/proc/mounts")), "rootfs / rootfs rw 0 0\n");
}

TEST_F(StandInTest, SudoAndSuRunTheRestInsideTheDeviceInOrder) {
    EXPECT_EQ(sim::chrootRunner("sudo su -c \"rw\""), 0);
    EXPECT_EQ(rootOptions(), "rw,noatime");
    EXPECT_EQ(sim::chrootRunner("/sbin/sudo sh -c 'exit 6'"), 6 * 256);
    // Started from the host, sudo still runs the rest inside the device.
    int status = waitFor(startFromHost("/usr/bin/sudo", {"su", "-c", "ro"}));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(rootOptions(), "ro,noatime");
    EXPECT_EQ(sim::programLog(root), (Lines{"sudo su -c rw", "su -c rw", "rw", "sudo sh -c exit 6",
                                            "sudo su -c ro", "su -c ro", "ro"}));
}

TEST_F(StandInTest, RefusingSudoAndOddSuRunNothing) {
    sim::setKnob(root, "sudo.exit", "3");
    EXPECT_EQ(sim::chrootRunner("sudo rw"), 3 * 256);
    EXPECT_EQ(sim::chrootRunner("su root 2>/dev/null"), 1 * 256);
    EXPECT_EQ(sim::chrootRunner("su -c 2>/dev/null"), 1 * 256);
    EXPECT_EQ(rootOptions(), "ro,noatime");
    EXPECT_EQ(sim::programLog(root), (Lines{"sudo rw", "su root", "su -c"}));
}

TEST_F(StandInTest, PowerProgramsAndThePartitionScriptOnlyLog) {
    sim::setKnob(root, "poweroff.exit", "2");
    EXPECT_EQ(sim::chrootRunner("reboot -f"), 0);
    EXPECT_EQ(sim::chrootRunner("poweroff"), 2 * 256);
    EXPECT_EQ(sim::chrootRunner("sh /etc/zeltinpartition/zeltinPartitionData.sh 6"), 0);
    EXPECT_EQ(sim::programLog(root), (Lines{"reboot -f", "poweroff", "zeltinPartitionData.sh 6"}));
    sim::clearProgramLog(root);
    EXPECT_TRUE(sim::programLog(root).empty());

    // busybox sh prefers its own applets: a line that reached the reboot
    // applet would reboot this machine (--help keeps even that harmless).
    sim::removeKnob(root, "poweroff.exit");
    EXPECT_EQ(sim::chrootRunner("reboot --help; poweroff --help; su --help 2>/dev/null"), 256);
    EXPECT_EQ(sim::programLog(root), (Lines{"reboot --help", "poweroff --help", "su --help"}));

    // A copy outside its device path refuses to run.
    support::writeFile(hostPath("/tmp/reboot"), support::readFile(hostPath("/sbin/reboot")));
    EXPECT_EQ(sim::chrootRunner("sh /tmp/reboot 2>/dev/null"), 126 * 256);
    EXPECT_EQ(sim::programLog(root).size(), 3u);
}

TEST_F(StandInTest, LockDialogStartedFromTheHostStaysUpUntilKilled) {
    const std::string hostLog = "/var/log/device-programs.log";
    bool hostLogBefore = support::exists(hostLog);
    std::string hostLogContent = hostLogBefore ? support::readFile(hostLog) : "";

    pid_t dialog = startFromHost("/etc/addons.d/IXO_AGENT/lockdlg");
    ASSERT_GT(dialog, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waitpid(dialog, nullptr, WNOHANG), 0) << "lockdlg ended on its own";
    ASSERT_EQ(kill(dialog, SIGTERM), 0);
    int status = waitFor(dialog);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(sim::programLog(root), (Lines{"lockdlg"}));
    EXPECT_EQ(support::exists(hostLog), hostLogBefore);
    EXPECT_EQ(hostLogBefore ? support::readFile(hostLog) : "", hostLogContent);

    // One that cannot start exits at once.
    sim::setKnob(root, "lockdlg.exit", "4");
    status = waitFor(startFromHost("/etc/addons.d/IXO_AGENT/lockdlg"));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

TEST_F(StandInTest, KnobNamesStayInTheKnobDirectory) {
    EXPECT_THROW(sim::setKnob(root, "../escape", "1"), std::invalid_argument);
    EXPECT_THROW(sim::setKnob(root, "", "1"), std::invalid_argument);
    EXPECT_THROW(sim::removeKnob(root, ".."), std::invalid_argument);
    EXPECT_NO_THROW(sim::removeKnob(root, "never-set.exit"));
    sim::setKnob(root, "reboot.exit", "7");
    EXPECT_EQ(support::readFile(hostPath("/etc/sim/reboot.exit")), "7");
}

}  // namespace
