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

// busybox sh prefers its own applets: a line that reached the reboot applet
// would reboot this machine (--help keeps even that harmless). A knob name
// cannot lead out of the device's knob folder.
TEST_F(StandInTest, PowerProgramsOnlyLogAndKnobsStayInTheirFolder) {
    EXPECT_EQ(sim::chrootRunner("reboot --help; poweroff --help; su --help 2>/dev/null"), 256);
    EXPECT_EQ(sim::programLog(root), (Lines{"reboot --help", "poweroff --help", "su --help"}));

    // A copy outside its device path refuses to run.
    support::writeFile(hostPath("/tmp/reboot"), support::readFile(hostPath("/sbin/reboot")));
    EXPECT_EQ(sim::chrootRunner("sh /tmp/reboot 2>/dev/null"), 126 * 256);
    EXPECT_EQ(sim::programLog(root).size(), 3u);

    EXPECT_THROW(sim::setKnob(root, "../escape", "1"), std::invalid_argument);
    EXPECT_THROW(sim::setKnob(root, "", "1"), std::invalid_argument);
    EXPECT_THROW(sim::removeKnob(root, ".."), std::invalid_argument);
    EXPECT_FALSE(support::exists(hostPath("/etc/escape")));
}

// Started from the host by its host path, as the library starts it, the lock
// dialog stays up until killed and logs inside the device, never on this
// machine.
TEST_F(StandInTest, LockDialogStartedFromTheHostLogsInsideTheDevice) {
    const std::string hostLog = "/var/log/device-programs.log";
    bool hostLogBefore = support::exists(hostLog);
    std::string hostLogContent = hostLogBefore ? support::readFile(hostLog) : "";
    std::string path = hostPath("/etc/addons.d/IXO_AGENT/lockdlg");
    pid_t child = fork();
    if (child == 0) {
        execl(path.c_str(), "lockdlg", static_cast<char *>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    for (int wait = 0; wait < 1000 && sim::programLog(root).empty(); ++wait) {
        usleep(10000);
    }
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "the dialog stays up until killed";
    EXPECT_EQ(kill(child, SIGTERM), 0);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(sim::programLog(root).size(), 1u);
    EXPECT_EQ(sim::programLog(root)[0].rfind("lockdlg", 0), 0u);
    EXPECT_EQ(support::exists(hostLog), hostLogBefore);
    EXPECT_EQ(hostLogBefore ? support::readFile(hostLog) : "", hostLogContent);
}

}  // namespace
