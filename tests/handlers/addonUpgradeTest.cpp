// The agent upgrade: an IXO_AGENT... package replaces the agent's directory,
// and a detached process starts the restart script that ends the agent and
// reboots. On the simulated device the script runs to its end against the
// stand-ins (sleep returns at once, pidof finds nothing, reboot only logs).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/handlers/addonTestSupport.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

const char agentSource[] = "http://server/agent/IXO_AGENT-2.1.tar";
const char agentInstallLine[] =
    "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -l /tmp/IXO_AGENT-2.1.tar\"";
const char startLine[] =
    "sudo su -c \"sh -x /tmp/ixoAgentRestart.sh > /tmp/restartAgent.log 2>&1 &\"";
const char liftLine[] = "sudo su -c \"rw\"";
const char restoreLine[] = "sudo su -c \"ro\"";
const char restartScript[] =
    "sleep 15\n"
    "sudo su -c \"kill `pidof ixoAgent`\"\n"
    "while [ -n \"`pidof ixoAgent`\" ] ; do sleep 1 ; done\n"
    "sudo su -c \"rw\"\n"
    "sudo su -c \"rm -rf /etc/addons.d/TMP_IXO_AGENT\"\n"
    "sudo su -c \"reboot\"\n"
    "sudo su -c \"ro\"\n";

class AgentUpgradeTest : public addontest::AddonTest {
protected:
    void SetUp() override {
        addontest::AddonTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        support::writeFile(hostPath("/etc/addons.d/IXO_AGENT/control"), "version=2.0\n");
        support::writeFile(hostPath("/etc/addons.d/IXO_AGENT/ixoAgent"), "old agent\n");
        makePackage("IXO_AGENT-2.1.tar", {{"control", "version=2.1\n"}, {"ixoAgent", "new agent\n"}});
    }

    commandtest::Outcome upgrade(const std::string &source = agentSource) {
        return run("installOnDevice", {{"source", source}, {"lockoutUser", "true"}});
    }

    void expectOldAgentInPlace() {
        EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/IXO_AGENT/control")), "version=2.0\n");
        EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/IXO_AGENT/ixoAgent")), "old agent\n");
        EXPECT_TRUE(support::exists(hostPath("/etc/addons.d/IXO_AGENT/lockdlg")));
        EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/TMP_IXO_AGENT")));
        EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
        EXPECT_EQ(userLockedOut(), 0);
    }

    // The stand-ins' log from the restart script's first line on.
    std::vector<std::string> scriptPrograms() const {
        std::vector<std::string> all = programs();
        auto start = std::find(all.begin(), all.end(), "sleep 15");
        return std::vector<std::string>(start, all.end());
    }
};

TEST_F(AgentUpgradeTest, NewAgentIsInstalledAndTheRestartScriptReboots) {
    commandtest::Outcome outcome = upgrade();

    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    // The device reboots under the lock screen.
    EXPECT_EQ(userLockedOut(), 1);
    endUserLockoutDialog();
    ASSERT_TRUE(collectDescendants());

    EXPECT_EQ(support::readFile(hostPath("/tmp/ixoAgentRestart.sh")), restartScript);
    EXPECT_THAT(lines(), ElementsAre(liftLine, agentInstallLine, startLine));
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/IXO_AGENT/control")), "version=2.1\n");
    EXPECT_EQ(support::readFile(hostPath("/etc/addons.d/IXO_AGENT/ixoAgent")), "new agent\n");
    EXPECT_FALSE(support::exists(hostPath("/tmp/IXO_AGENT-2.1.tar")));
    // The script ran to its end, against stand-ins only: nothing was found
    // to end, the old directory went, the device "rebooted".
    const std::vector<std::string> script = {
        "sleep 15", "pidof ixoAgent", "sudo su -c kill ", "su -c kill ", "pidof ixoAgent",
        "sudo su -c rw", "su -c rw", "rw",
        "sudo su -c rm -rf /etc/addons.d/TMP_IXO_AGENT", "su -c rm -rf /etc/addons.d/TMP_IXO_AGENT",
        "sudo su -c reboot", "su -c reboot", "reboot", "sudo su -c ro", "su -c ro", "ro"};
    EXPECT_THAT(scriptPrograms(), ElementsAreArray(script));
    EXPECT_FALSE(support::exists(hostPath("/etc/addons.d/TMP_IXO_AGENT")));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    std::string trace = support::readFile(hostPath("/tmp/restartAgent.log"));
    EXPECT_THAT(trace, HasSubstr("+ sleep 15"));
    EXPECT_THAT(trace, HasSubstr("+ sudo su -c reboot"));
}

TEST_F(AgentUpgradeTest, PackageWithoutControlPutsTheOldAgentBack) {
    makePackage("IXO_AGENT-2.2.tar", {{"ixoAgent", "broken agent\n"}});

    commandtest::Outcome outcome = upgrade("http://server/agent/IXO_AGENT-2.2.tar");

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    EXPECT_EQ(outcome.message, "Failed to upgrade agent");
    expectOldAgentInPlace();
    EXPECT_FALSE(support::exists(hostPath("/tmp/ixoAgentRestart.sh")));
    EXPECT_TRUE(support::exists(hostPath("/tmp/IXO_AGENT-2.2.tar")));
    EXPECT_THAT(lines(), ElementsAre(liftLine,
                                     "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f "
                                     "-l /tmp/IXO_AGENT-2.2.tar\"",
                                     liftLine, restoreLine));
}

TEST_F(AgentUpgradeTest, InstallerThatInstallsNothingPutsTheOldAgentBack) {
    sim::setKnob(root, "installer.sh.outcome", "error no space left");

    commandtest::Outcome outcome = upgrade();

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.message, "Failed to upgrade agent");
    expectOldAgentInPlace();
}

TEST_F(AgentUpgradeTest, RestartScriptThatCannotBeMadePutsTheOldAgentBack) {
    ASSERT_EQ(mkdir(hostPath("/tmp/ixoAgentRestart.sh").c_str(), 0755), 0);
    support::writeFile(hostPath("/tmp/ixoAgentRestart.sh/keep"), "x");

    commandtest::Outcome outcome = upgrade();

    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    EXPECT_EQ(outcome.message, "Failed to upgrade agent");
    expectOldAgentInPlace();
    EXPECT_EQ(lines().back(), restoreLine);
}

TEST_F(AgentUpgradeTest, RestartScriptIsANewFileNotWhatStoodInTmp) {
    // Planted by another user of /tmp: a link to a file of the device.
    support::writeFile(hostPath("/etc/victim"), "precious\n");
    ASSERT_EQ(symlink("../etc/victim", hostPath("/tmp/ixoAgentRestart.sh").c_str()), 0);

    EXPECT_EQ(upgrade().result, 0);
    endUserLockoutDialog();
    ASSERT_TRUE(collectDescendants());

    EXPECT_EQ(support::readFile(hostPath("/etc/victim")), "precious\n");
    struct stat info;
    ASSERT_EQ(lstat(hostPath("/tmp/ixoAgentRestart.sh").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(support::readFile(hostPath("/tmp/ixoAgentRestart.sh")), restartScript);
}

}  // namespace
