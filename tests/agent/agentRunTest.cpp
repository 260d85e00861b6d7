// ixoAgent end to end: the real executable loads the real library and runs
// the repository's sample command files on a simulated thin client.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using e2e::AgentEndToEnd;
using e2e::AgentRun;

std::string repeated(const std::string &text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

TEST_F(AgentEndToEnd, SimInitThenListTheCommands) {
    AgentRun init = agent({"sim-init", device});
    EXPECT_EQ(init.exitCode, 0) << init.err;
    EXPECT_THAT(init.out, HasSubstr("simulated thin client ready in " + device));
    EXPECT_TRUE(sim::isDevice(device));

    AgentRun list = agent({"--device-root", device, "commands"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("deleteFile\n"));
    EXPECT_THAT(list.out, HasSubstr("deleteDirectory\n"));
}

TEST_F(AgentEndToEnd, DeleteFileSampleWithLockoutOnTheFilteredRoot) {
    initDevice();
    std::string log = work + "/agent.log";

    AgentRun run = agent({"--device-root", device, "--log-file", log, "--log-level", "4", "run",
                          sample("deleteFile.xml")});

    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("command: deleteFile\nresult: 0\nerrorClass: (none)\n"
                                   "message: (none)\nresponse: (none)\n"));
    EXPECT_FALSE(support::exists(device + "/var/log/old-agent.log"));
    EXPECT_EQ(sim::mountOptions(device, "/"), "ro,noatime");
    std::vector<std::string> programs = sim::programLog(device);
    EXPECT_THAT(programs, Contains("rw"));
    EXPECT_THAT(programs, Contains("ro"));
    // The lock screen was up: ending it found one (whether lockdlg had
    // written its log line before it was killed is a race).
    EXPECT_THAT(support::readFile(log), Not(HasSubstr("User not currently locked out")));
}

TEST_F(AgentEndToEnd, DeleteDirectorySampleOnAWritableMount) {
    initDevice();
    AgentRun run = agent({"--device-root", device, "run", sample("deleteDirectory.xml")});

    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("result: 0"));
    EXPECT_FALSE(support::exists(device + "/home/root/addon-cache"));
    // /home carries no write filter: no device program ran.
    EXPECT_THAT(sim::programLog(device), IsEmpty());
}

TEST_F(AgentEndToEnd, FailedDeletionIsReportedWithItsErrorClass) {
    initDevice();
    ASSERT_EQ(unlink((device + "/var/log/old-agent.log").c_str()), 0);
    AgentRun run = agent({"--device-root", device, "run", sample("deleteFile.xml")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.out, HasSubstr("result: -1\nerrorClass: file_error\nmessage: "));
    EXPECT_THAT(run.out, HasSubstr("/var/log/old-agent.log"));
    EXPECT_EQ(sim::mountOptions(device, "/"), "ro,noatime");
}

TEST_F(AgentEndToEnd, BadCommandFilesRunNothing) {
    initDevice();
    struct Case {
        std::string content;
        std::string expected;
    };
    std::vector<Case> cases = {
        {"<command name=\"deleteFile\">\n<parameters>\n<file>/etc</parameters>\n</command>\n",
         "bad.xml:3"},
        {"<command>\n<parameters/>\n</command>\n", "bad.xml:1"},
        {"<?xml version=\"1.0\"?>\n\n<command name=\"formatDisk\">\n<parameters/>\n</command>\n",
         "bad.xml:3: unknown command 'formatDisk'"},
        // Nested 100,000 deep, one opening tag a line: the agent's stack would not
        // hold the walks over it.
        {"<command name=\"deleteFile\">\n<parameters>\n" + repeated("<p>\n", 100000) +
             repeated("</p>", 100000) + "</parameters></command>\n",
         "bad.xml:65: elements nested more than 64 deep"},
    };
    for (const Case &bad : cases) {
        support::writeFile(work + "/bad.xml", bad.content);
        AgentRun run = agent({"--device-root", device, "run", work + "/bad.xml"});
        EXPECT_EQ(run.exitCode, 2) << bad.content;
        EXPECT_THAT(run.err, HasSubstr(bad.expected)) << bad.content;
        EXPECT_THAT(run.out, Not(HasSubstr("result:")));
    }
    AgentRun missing = agent({"--device-root", device, "run", work + "/absent.xml"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.err, HasSubstr("absent.xml"));
    EXPECT_THAT(sim::programLog(device), IsEmpty());
}

TEST_F(AgentEndToEnd, DeviceAndLibraryMustBeUsable) {
    AgentRun notDevice = agent({"--device-root", work, "commands"});
    EXPECT_EQ(notDevice.exitCode, 2);
    EXPECT_THAT(notDevice.err, HasSubstr("no simulated device"));

    AgentRun badLibrary = agent({"--library", work + "/missing.so", "commands"});
    EXPECT_EQ(badLibrary.exitCode, 2);
    EXPECT_THAT(badLibrary.err, HasSubstr("cannot load"));
}

TEST_F(AgentEndToEnd, DefaultDeviceIsBuiltOnFirstUseInTheUsersCache) {
    AgentRun list = agent({"commands"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("deleteFile"));
    EXPECT_TRUE(sim::isDevice(work + "/home/.cache/ixoAgent/device"));
}

}  // namespace
