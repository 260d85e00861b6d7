// ixoAgent's reboot persistence end to end: the command kept while it runs,
// the outcome kept across the reboot that follows it, pending and resume as
// text and as JSON.

#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

const char kNothingPending[] = "saved command: (none)\nsaved response: (none)\n";

TEST_F(AgentEndToEnd, OutcomeSurvivesTheRebootThatFollowsACommand) {
    initDevice();
    EXPECT_EQ(parsed(onDevice({"pending", "--json"})), (Json{{"command", nullptr}, {"response", nullptr}}));
    AgentRun run = onDevice({"--reboot-after", "run", sample("deleteDirectory.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("rebooting the device"));
    EXPECT_THAT(sim::programLog(device), Contains("reboot -f"));
    AgentRun pending = onDevice({"pending"});
    EXPECT_THAT(pending.out, HasSubstr("saved command: <?xml"));
    EXPECT_THAT(pending.out, HasSubstr("saved response: <commandOutcome><command>deleteDirectory"
                                       "</command><result>0</result></commandOutcome>"));
    AgentRun resume = onDevice({"resume"});
    EXPECT_EQ(resume.exitCode, 0) << resume.err;
    EXPECT_THAT(resume.out, HasSubstr("outcome kept across the reboot:\n<commandOutcome>"));
    EXPECT_THAT(resume.out, Not(HasSubstr("command: deleteDirectory")));
    EXPECT_EQ(onDevice({"pending"}).out, kNothingPending);
    EXPECT_EQ(onDevice({"resume"}).out, "nothing to resume\n");
}

TEST_F(AgentEndToEnd, InterruptedCommandIsRunAgainOnResumeAndOneTooLongIsNotKept) {
    initDevice();
    // As if the device lost power in the middle of the command.
    setOnDevice("/tmp/system.conf", "IxoSettings", "PendingCommandXml",
                "<command name=\"deleteFile\">  <parameters>    <file>/var/log/old-agent.log"
                "</file>  </parameters></command>");
    AgentRun resume = onDevice({"resume"});
    EXPECT_EQ(resume.exitCode, 0) << resume.err;
    EXPECT_THAT(resume.out, HasSubstr("resuming the command interrupted by the reboot"));
    EXPECT_THAT(resume.out, HasSubstr("command: deleteFile\nresult: 0"));
    EXPECT_FALSE(support::exists(device + "/var/log/old-agent.log"));
    EXPECT_EQ(onDevice({"pending"}).out, kNothingPending);

    setOnDevice("/tmp/system.conf", "IxoSettings", "PendingCommandXml",
                "<command name=\"deleteFile\"><parameters></parameters></command>");
    AgentRun again = onDevice({"resume", "--json"});
    EXPECT_EQ(again.exitCode, 1);
    Json resumed = parsed(again);
    EXPECT_EQ(resumed["resumed"], "command");
    EXPECT_EQ(resumed["outcome"]["reasons"], Json::array({"Missing parameter 'file'"}));

    // A command too long to keep runs all the same, and nothing is kept.
    AgentRun run = onDevice({"run", commandFile("deleteFile", "<file>/home/root/" +
                                                                  std::string(1100, 'n') + "</file>")});
    EXPECT_THAT(run.err, HasSubstr("cannot be kept across a reboot (too long to keep, or see the "
                                   "log); running it all the same"));
    EXPECT_THAT(run.out, HasSubstr("command: deleteFile\nresult: -1\nerrorClass: file_error"));
    EXPECT_EQ(onDevice({"pending"}).out, kNothingPending);
}

TEST_F(AgentEndToEnd, CommandThatCannotBeKeptNorClearTheOlderOneIsNotRun) {
    initDevice();
    // An older command kept from before a reboot, in a registry that can be
    // read but not written: its lock folder is not the folder it must be.
    setOnDevice("/tmp/system.conf", "IxoSettings", "PendingCommandXml",
                "<command name=\"uninstall\"><parameters><applicationName>Old</applicationName>"
                "</parameters></command>");
    support::removeTree(device + "/home/root/.registry-locks");
    support::writeFile(device + "/home/root/.registry-locks", "");
    support::writeFile(device + "/var/log/old-agent.log", "x");

    AgentRun run = onDevice({"run", sample("deleteFile.xml")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("the command kept before cannot be cleared (see the log): "
                                   "not running it"));
    EXPECT_THAT(run.out, Not(HasSubstr("result:")));
    EXPECT_TRUE(support::exists(device + "/var/log/old-agent.log"));
    EXPECT_THAT(sim::programLog(device), ::testing::IsEmpty());
}

}  // namespace
}  // namespace e2e
