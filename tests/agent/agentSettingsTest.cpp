// ixoAgent's settings, registry and reboot-persistence commands, end to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "host/host.h"
#include "host/registry/registry.h"
#include "sim/sim.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using e2e::AgentEndToEnd;
using e2e::AgentRun;

std::string value(const std::string &device, const std::string &file, const std::string &section,
                  const std::string &key) {
    std::string registry = support::readFile(device + file);
    std::string line = "\n" + key + "=";
    size_t sectionAt = registry.find("[" + section + "]");
    size_t at = registry.find(line, sectionAt);
    if (sectionAt == std::string::npos || at == std::string::npos) {
        return "<absent>";
    }
    size_t start = at + line.size();
    return registry.substr(start, registry.find('\n', start) - start);
}

TEST_F(AgentEndToEnd, SettingsAreReadAndWrittenOnTheDevice) {
    initDevice();
    AgentRun set = agent({"--device-root", device, "settings", "set", "Mode", "fast lane"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(value(device, "/tmp/system.conf", "IxoSettings", "Mode"), "fast lane");

    AgentRun get = agent({"--device-root", device, "settings", "get", "Mode"});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, "fast lane\n");
    AgentRun lum = agent({"--device-root", device, "settings", "lum", "ServerPort"});
    EXPECT_EQ(lum.out, "9080\n");

    AgentRun refused = agent({"--device-root", device, "settings", "set", "Mode",
                              std::string(1001, 'x')});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("was not stored"));
    EXPECT_EQ(value(device, "/tmp/system.conf", "IxoSettings", "Mode"), "fast lane");

    EXPECT_EQ(agent({"--device-root", device, "settings", "frob"}).exitCode, 2);
}

TEST_F(AgentEndToEnd, AnyRegistryValueThroughTheLayer) {
    initDevice();
    AgentRun port = agent({"--device-root", device, "registry", "get",
                           "/etc/addons.d/VORBIX/config/iniFile.ini", "HKLM",
                           "SOFTWARE\\TELMARC\\VORBIX\\ListenPort"});
    EXPECT_EQ(port.exitCode, 0) << port.err;
    EXPECT_EQ(port.out, "7070\n");

    std::string before = support::readFile(device + "/home/root/system.conf");
    AgentRun set = agent({"--device-root", device, "registry", "set", "/home/root/system.conf",
                          "Terminal", "name", "TC-0042"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(value(device, "/home/root/system.conf", "Terminal", "name"), "TC-0042");
    // Only that line changed.
    std::string after = support::readFile(device + "/home/root/system.conf");
    EXPECT_EQ(after.size(), before.size() + std::string("TC-0042").size() -
                                std::string("TC-SIM-0001").size());

    AgentRun badKey = agent({"--device-root", device, "registry", "set", "/home/root/system.conf",
                             "Terminal", "#name", "x"});
    EXPECT_EQ(badKey.exitCode, 1);
    EXPECT_EQ(support::readFile(device + "/home/root/system.conf"), after);

    AgentRun missing = agent({"--device-root", device, "registry", "get", "/no/such/dir/r.conf",
                              "A", "b"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("cannot open registry"));
}

TEST_F(AgentEndToEnd, RegistryChangeHookRunsInsideTheDevice) {
    initDevice();
    ASSERT_EQ(::mkdir((device + "/etc/registry.d").c_str(), 0755), 0);
    support::writeFile(device + "/etc/registry.d/changed",
                       "#!/bin/sh\necho \"changed $1\" >> /var/log/registry-hook.log\n");
    ASSERT_EQ(::chmod((device + "/etc/registry.d/changed").c_str(), 0755), 0);
    AgentRun set = agent({"--device-root", device, "registry", "set", "/tmp/system.conf", "DNS",
                          "domainname", "corp.test"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(support::readFile(device + "/var/log/registry-hook.log"),
              "changed /tmp/system.conf\n");
}

TEST_F(AgentEndToEnd, CommandIsKeptWhileItRunsAndClearedAfter) {
    initDevice();
    AgentRun run = agent({"--device-root", device, "run", sample("deleteFile.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(value(device, "/tmp/system.conf", "IxoSettings", "PendingCommandXml"), "");
    AgentRun pending = agent({"--device-root", device, "pending"});
    EXPECT_EQ(pending.out, "saved command: (none)\nsaved response: (none)\n");
}

TEST_F(AgentEndToEnd, OutcomeSurvivesTheRebootThatFollowsACommand) {
    initDevice();
    AgentRun run = agent({"--device-root", device, "--reboot-after", "run",
                          sample("deleteDirectory.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("rebooting the device"));
    EXPECT_THAT(sim::programLog(device),
                ElementsAre("zeltinPartitionData.sh 6", "reboot -f", "reboot -f"));

    AgentRun pending = agent({"--device-root", device, "pending"});
    EXPECT_THAT(pending.out, HasSubstr("saved command: <?xml"));
    EXPECT_THAT(pending.out, HasSubstr("<directory>/home/root/addon-cache</directory>"));
    EXPECT_THAT(pending.out, HasSubstr("saved response: <commandOutcome><command>deleteDirectory"
                                       "</command><result>0</result></commandOutcome>"));

    AgentRun resume = agent({"--device-root", device, "resume"});
    EXPECT_EQ(resume.exitCode, 0) << resume.err;
    EXPECT_THAT(resume.out, HasSubstr("outcome kept across the reboot:\n<commandOutcome>"));
    EXPECT_THAT(resume.out, Not(HasSubstr("command: deleteDirectory")));
    EXPECT_EQ(agent({"--device-root", device, "pending"}).out,
              "saved command: (none)\nsaved response: (none)\n");
    EXPECT_EQ(agent({"--device-root", device, "resume"}).out, "nothing to resume\n");
}

TEST_F(AgentEndToEnd, InterruptedCommandIsRunAgainOnResume) {
    initDevice();
    // As if the device lost power in the middle of the command.
    std::string error;
    std::string testRoot = agent::deviceRoot();
    agent::setDeviceRoot(device);
    ASSERT_TRUE(agent::registrySet(
        "/tmp/system.conf", "IxoSettings", "PendingCommandXml",
        "<command name=\"deleteFile\">  <parameters>    <file>/var/log/old-agent.log</file>"
        "  </parameters></command>",
        &error))
        << error;
    agent::setDeviceRoot(testRoot);
    support::writeFile(device + "/var/log/old-agent.log", "x");

    AgentRun resume = agent({"--device-root", device, "resume"});
    EXPECT_EQ(resume.exitCode, 0) << resume.err;
    EXPECT_THAT(resume.out, HasSubstr("resuming the command interrupted by the reboot"));
    EXPECT_THAT(resume.out, HasSubstr("command: deleteFile\nresult: 0"));
    EXPECT_FALSE(support::exists(device + "/var/log/old-agent.log"));
    EXPECT_EQ(value(device, "/tmp/system.conf", "IxoSettings", "PendingCommandXml"), "");
}

TEST_F(AgentEndToEnd, CommandThatCannotBeKeptNorClearTheOlderOneIsNotRun) {
    initDevice();
    // An older command kept from before a reboot, in a registry that can be
    // read but not written: its lock folder is not the folder it must be.
    std::string error;
    std::string testRoot = agent::deviceRoot();
    agent::setDeviceRoot(device);
    ASSERT_TRUE(agent::registrySet("/tmp/system.conf", "IxoSettings", "PendingCommandXml",
                                   "<command name=\"uninstall\"><parameters><applicationName>"
                                   "Old</applicationName></parameters></command>",
                                   &error))
        << error;
    agent::setDeviceRoot(testRoot);
    support::removeTree(device + "/home/root/.registry-locks");
    support::writeFile(device + "/home/root/.registry-locks", "");
    support::writeFile(device + "/var/log/old-agent.log", "x");

    AgentRun run = agent({"--device-root", device, "run", sample("deleteFile.xml")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("the command kept before cannot be cleared (see the log): "
                                   "not running it"));
    EXPECT_THAT(run.err, HasSubstr("Error clearing the saved command and response"));
    EXPECT_THAT(run.out, Not(HasSubstr("result:")));
    EXPECT_TRUE(support::exists(device + "/var/log/old-agent.log"));
    EXPECT_THAT(sim::programLog(device), ::testing::IsEmpty());
}

TEST_F(AgentEndToEnd, CommandTooLongToKeepRunsAllTheSame) {
    initDevice();
    std::string path = "/home/root/" + std::string(1100, 'n');
    support::writeFile(work + "/long.xml", "<command name=\"deleteFile\"><parameters><file>" + path +
                                               "</file></parameters></command>");
    AgentRun run = agent({"--device-root", device, "run", work + "/long.xml"});
    EXPECT_THAT(run.err, HasSubstr("cannot be kept across a reboot (too long to keep, or see the "
                                   "log); running it all the same"));
    EXPECT_THAT(run.out, HasSubstr("command: deleteFile\nresult: -1\nerrorClass: file_error"));
}

}  // namespace
