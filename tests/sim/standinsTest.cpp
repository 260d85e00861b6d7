#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using Lines = std::vector<std::string>;
using StandInTest = support::SimDeviceTest;

// What the write filter's tests do not meet: a knob that is no exit code, an
// su asked for anything but a command, a mount table without the root.
TEST_F(StandInTest, OddKnobsAndCallsChangeNothing) {
    sim::setKnob(root, "rw.exit", "not a number");
    EXPECT_EQ(sim::chrootRunner("rw 2>/dev/null"), 126 * 256);
    EXPECT_EQ(sim::chrootRunner("su root 2>/dev/null"), 1 * 256);
    EXPECT_EQ(sim::chrootRunner("su -c 2>/dev/null"), 1 * 256);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    sim::removeKnob(root, "rw.exit");
    support::writeFile(hostPath("/proc/mounts"), "rootfs / rootfs rw 0 0\n");
    EXPECT_EQ(sim::chrootRunner("rw 2>/dev/null"), 1 * 256) << "no root mount to change";
    EXPECT_EQ(support::readFile(hostPath("/proc/mounts")), "rootfs / rootfs rw 0 0\n");
    EXPECT_EQ(sim::programLog(root), (Lines{"rw", "su root", "su -c", "rw"}));

    EXPECT_THROW(sim::setKnob(root, "../escape", "1"), std::invalid_argument);
    EXPECT_THROW(sim::setKnob(root, "", "1"), std::invalid_argument);
    EXPECT_THROW(sim::removeKnob(root, ".."), std::invalid_argument);
    EXPECT_FALSE(support::exists(hostPath("/etc/escape")));
}

TEST_F(StandInTest, PowerProgramsAndThePartitionScriptOnlyLog) {
    sim::setKnob(root, "poweroff.exit", "2");
    EXPECT_EQ(sim::chrootRunner("reboot -f"), 0);
    EXPECT_EQ(sim::chrootRunner("poweroff"), 2 * 256);
    EXPECT_EQ(sim::chrootRunner("sh /etc/zeltinpartition/zeltinPartitionData.sh 6"), 0);
    EXPECT_EQ(sim::programLog(root), (Lines{"reboot -f", "poweroff", "zeltinPartitionData.sh 6"}));
    sim::clearProgramLog(root);

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

// Started from the host by its host path, as the library starts the lock
// dialog, a stand-in still logs inside the device, never on this machine.
TEST_F(StandInTest, StartedFromTheHostTheyLogInsideTheDevice) {
    const std::string hostLog = "/var/log/device-programs.log";
    bool hostLogBefore = support::exists(hostLog);
    std::string hostLogContent = hostLogBefore ? support::readFile(hostLog) : "";
    for (const char *program : {"/usr/bin/sudo", "/etc/addons.d/IXO_AGENT/lockdlg"}) {
        std::string path = hostPath(program);
        pid_t child = fork();
        if (child == 0) {
            execl(path.c_str(), "program", "su", "-c", "rw", static_cast<char *>(nullptr));
            _exit(127);
        }
        ASSERT_GT(child, 0);
        if (std::string(program).find("lockdlg") != std::string::npos) {
            for (int wait = 0; wait < 1000 && sim::programLog(root).size() < 4; ++wait) {
                usleep(10000);
            }
            EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "the dialog stays up until killed";
            EXPECT_EQ(kill(child, SIGTERM), 0);
        }
        int status = -1;
        waitpid(child, &status, 0);
    }
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime") << "sudo ran the rest inside the device";
    ASSERT_EQ(sim::programLog(root).size(), 4u);
    EXPECT_EQ(sim::programLog(root)[3].rfind("lockdlg", 0), 0u);
    EXPECT_EQ(support::exists(hostLog), hostLogBefore);
    EXPECT_EQ(hostLogBefore ? support::readFile(hostLog) : "", hostLogContent);
}

}  // namespace
