// The agent upgrade: an IXO_AGENT... package replaces the agent's directory,
// and a detached process starts the restart script that ends the agent and
// reboots. On the simulated device the script runs to its end against the
// stand-ins (sleep returns at once, pidof finds nothing, reboot only logs).
#include <filesystem>
#include <functional>

#include "tests/library/commands/addonTestSupport.h"

using namespace commandtest;
using namespace addontest;

namespace {

const char liftLine[] = "sudo su -c \"rw\"";
const char restoreLine[] = "sudo su -c \"ro\"";
std::string agentInstallLine(const std::string &package) {
    return "sudo su -c \"LANG=en_US.UTF-8 /sbin/installer/installer.sh -f -l /tmp/" + package + "\"";
}

class AgentUpgradeTest : public AddonTest {
protected:
    void SetUp() override {
        AddonTest::SetUp();
        write("/etc/addons.d/IXO_AGENT/control", "version=2.0\n");
        write("/etc/addons.d/IXO_AGENT/ixoAgent", "old agent\n");
        makePackage("IXO_AGENT-2.1.tar", {{"control", "version=2.1\n"}, {"ixoAgent", "new agent\n"}});
    }

    Outcome upgrade(const std::string &package = "IXO_AGENT-2.1.tar") {
        return run("installOnDevice",
                   {{"source", "http://server/agent/" + package}, {"lockoutUser", "true"}});
    }
};

TEST_F(AgentUpgradeTest, FailedInstallPutsTheOldAgentBack) {
    makePackage("IXO_AGENT-2.2.tar", {{"ixoAgent", "broken agent\n"}});
    const Lines restored = {liftLine, agentInstallLine("IXO_AGENT-2.1.tar"), liftLine, restoreLine};
    const struct {
        const char *what;
        std::function<void()> prepare;
        const char *package;
        Lines lines;
    } cases[] = {
        {"a package without control", [] {}, "IXO_AGENT-2.2.tar",
         {liftLine, agentInstallLine("IXO_AGENT-2.2.tar"), liftLine, restoreLine}},
        {"an installer that installs nothing",
         [&] { sim::setKnob(root, "installer.sh.outcome", "error no space left"); },
         "IXO_AGENT-2.1.tar", {}},
        // Left by an upgrade that lost power before its restart script ran:
        // the old agent cannot be renamed onto it.
        {"a stale leftover of an interrupted upgrade",
         [&] {
             ASSERT_EQ(mkdir(hostPath("/etc/addons.d/TMP_IXO_AGENT").c_str(), 0755), 0);
             write("/etc/addons.d/TMP_IXO_AGENT/ixoAgent", "agent of the interrupted upgrade\n");
         },
         "IXO_AGENT-2.2.tar", {}},
        {"a restart script that cannot be made",
         [&] {
             ASSERT_EQ(mkdir(hostPath("/tmp/ixoAgentRestart.sh").c_str(), 0755), 0);
             write("/tmp/ixoAgentRestart.sh/keep");
         },
         "IXO_AGENT-2.1.tar", restored},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        clearLines();
        c.prepare();
        EXPECT_EQ(upgrade(c.package), (Outcome{-1, "system_error", "Failed to upgrade agent"}));
        EXPECT_EQ(read("/etc/addons.d/IXO_AGENT/control"), "version=2.0\n");
        EXPECT_EQ(read("/etc/addons.d/IXO_AGENT/ixoAgent"), "old agent\n");
        EXPECT_TRUE(exists("/etc/addons.d/IXO_AGENT/lockdlg"));
        EXPECT_FALSE(exists("/etc/addons.d/TMP_IXO_AGENT"));
        EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
        EXPECT_EQ(userLockedOut(), 0);
        EXPECT_FALSE(std::filesystem::is_regular_file(hostPath("/tmp/ixoAgentRestart.sh")));
        if (!c.lines.empty()) {
            EXPECT_EQ(lines(), c.lines);
        }
        sim::removeKnob(root, "installer.sh.outcome");
    }
}

TEST_F(AgentUpgradeTest, LeftoverBesideAnAgentWithoutControlIsKeptAndNothingIsInstalled) {
    ASSERT_EQ(unlink(hostPath("/etc/addons.d/IXO_AGENT/control").c_str()), 0);
    ASSERT_EQ(mkdir(hostPath("/etc/addons.d/TMP_IXO_AGENT").c_str(), 0755), 0);
    write("/etc/addons.d/TMP_IXO_AGENT/control", "version=1.9\n");

    EXPECT_EQ(upgrade(), (Outcome{-1, "system_error", "Failed to upgrade agent"}));

    EXPECT_EQ(read("/etc/addons.d/TMP_IXO_AGENT/control"), "version=1.9\n");
    EXPECT_FALSE(exists("/etc/addons.d/IXO_AGENT/control"));
    EXPECT_EQ(read("/etc/addons.d/IXO_AGENT/ixoAgent"), "old agent\n");
    EXPECT_THAT(lines(), ElementsAre(liftLine, restoreLine));
    EXPECT_FALSE(exists("/tmp/ixoAgentRestart.sh"));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_EQ(userLockedOut(), 0);
}

// Another user of /tmp may have planted a link to a device file at the
// restart script's name.
TEST_F(AgentUpgradeTest, NewAgentIsInstalledAndItsRestartScriptIsANewFileNotWhatStoodInTmp) {
    write("/etc/victim", "precious\n");
    ASSERT_EQ(symlink("../etc/victim", hostPath("/tmp/ixoAgentRestart.sh").c_str()), 0);

    EXPECT_EQ(upgrade(), Outcome{});
    // The device reboots under the lock screen.
    EXPECT_EQ(userLockedOut(), 1);
    endUserLockoutDialog();
    ASSERT_TRUE(collectDescendants());

    EXPECT_THAT(lines(), ElementsAre(liftLine, agentInstallLine("IXO_AGENT-2.1.tar"),
                                     "sudo su -c \"sh -x /tmp/ixoAgentRestart.sh > "
                                     "/tmp/restartAgent.log 2>&1 &\""));
    EXPECT_EQ(read("/etc/addons.d/IXO_AGENT/ixoAgent"), "new agent\n");
    EXPECT_FALSE(exists("/etc/addons.d/TMP_IXO_AGENT"));
    EXPECT_EQ(read("/etc/victim"), "precious\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(
        std::filesystem::symlink_status(hostPath("/tmp/ixoAgentRestart.sh"))));
    EXPECT_THAT(read("/tmp/restartAgent.log"), HasSubstr("+ sudo su -c reboot\n+ sudo su -c ro\n"));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

}  // namespace
