// "executeOnDevice" on the simulated device: the exact line run, the result
// document, the capture files and the brackets.
#include <libxml/parser.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/guards.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;

std::vector<bool> lockedWhileRunning;

int observingRunner(const char *line) {
    lockedWhileRunning.push_back(userLockedOut() == 1);
    return sim::recordingRunner(line);
}

bool wellFormed(const std::string &xml) {
    xmlDocPtr document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "result.xml",
                                       nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                    XML_PARSE_NOWARNING);
    bool parsed = document != nullptr;
    xmlFreeDoc(document);
    return parsed;
}

class ExecuteCommandTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        pid = std::to_string(getpid());
        lockedWhileRunning.clear();
    }
    void TearDown() override {
        ixoSetCommandRunner(sim::recordingRunner);
        support::SimDeviceTest::TearDown();
    }

    commandtest::Outcome execute(const std::string &deviceCommand, const std::string &location,
                                 const std::string &out, const std::string &err,
                                 const std::string &writable = "false",
                                 const Parameters &extra = {}) {
        Parameters parameters = {{"deviceCommand", deviceCommand},
                                 {"sendStdout", out},
                                 {"sendStderr", err},
                                 {"needWritableFilesystem", writable},
                                 {"executeLocation", location}};
        parameters.insert(parameters.end(), extra.begin(), extra.end());
        agent::CommandPtr command = commandtest::makeCommand("executeOnDevice", parameters);
        return commandtest::runHandler(commandtest::handlerFor("executeOnDevice"), command.get());
    }

    std::string cleanup() const { return "rm -f /tmp/" + pid + ".stdout /tmp/" + pid + ".stderr"; }

    std::string pid;
};

TEST_F(ExecuteCommandTest, ListingInALocationWithStandardOutput) {
    support::writeFile(hostPath("/tmp/marker-file"), "");
    commandtest::Outcome outcome = execute("ls", "/tmp", "true", "false");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("cd /tmp; ls > /tmp/" + pid + ".stdout ", cleanup()));
    EXPECT_THAT(outcome.response, HasSubstr("<executeOnDeviceResult><commandExitCode>0</commandExitCode>"
                                            "<stdOut>"));
    EXPECT_THAT(outcome.response, HasSubstr("marker-file\n"));
    EXPECT_THAT(outcome.response, Not(HasSubstr("<stdErr>")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + pid + ".stdout")));
}

TEST_F(ExecuteCommandTest, ExitStatusIsTheRawWaitStatus) {
    commandtest::Outcome outcome = execute("exit 2", "", "false", "false");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.response,
              "<executeOnDeviceResult><commandExitCode>512</commandExitCode></executeOnDeviceResult>");
    // No location: the line begins with a blank; no captures: it ends with two.
    EXPECT_THAT(sim::recordedLines(), ElementsAre(" exit 2  ", cleanup()));
}

TEST_F(ExecuteCommandTest, OnlyTheWordTrueCaptures) {
    commandtest::Outcome outcome = execute("echo hi; echo oops >&2", "", "yes", "TRUE");
    EXPECT_THAT(sim::recordedLines(), ElementsAre(" echo hi; echo oops >&2  ", cleanup()));
    EXPECT_THAT(outcome.response, Not(HasSubstr("<stdOut>")));
    EXPECT_THAT(outcome.response, Not(HasSubstr("<stdErr>")));
}

TEST_F(ExecuteCommandTest, BothCapturesAreWellFormedWhateverTheOutput) {
    commandtest::Outcome outcome =
        execute("{ printf '<a & b>\\n'; printf 'bad \\001 byte\\n' >&2; }", "", "true", "true");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_TRUE(wellFormed(outcome.response)) << outcome.response;
    EXPECT_THAT(outcome.response, HasSubstr("<stdOut>&lt;a &amp; b&gt;\n</stdOut>"));
    // The control byte XML cannot carry is replaced.
    EXPECT_THAT(outcome.response, HasSubstr("<stdErr>bad \xEF\xBF\xBD byte\n</stdErr>"));
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + pid + ".stdout")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + pid + ".stderr")));
}

TEST_F(ExecuteCommandTest, CaptureFilesAreRemovedEvenWhenNotAskedFor) {
    support::writeFile(hostPath("/tmp/" + pid + ".stdout"), "stale");
    support::writeFile(hostPath("/tmp/" + pid + ".stderr"), "stale");
    execute("true", "", "false", "false");
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + pid + ".stdout")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/" + pid + ".stderr")));
}

TEST_F(ExecuteCommandTest, LongLocationNeverCutsTheCommand) {
    std::string location = "/tmp/" + std::string(9000, 'd');
    commandtest::Outcome outcome = execute("echo whole", location, "true", "true");
    ASSERT_FALSE(sim::recordedLines().empty());
    EXPECT_EQ(sim::recordedLines()[0], "cd " + location + "; echo whole > /tmp/" + pid +
                                           ".stdout 2> /tmp/" + pid + ".stderr");
    // The cd fails in the device's shell and the command still runs after it.
    EXPECT_THAT(outcome.response, HasSubstr("<stdOut>whole\n</stdOut>"));
}

TEST_F(ExecuteCommandTest, MissingParameterRunsNothing) {
    for (const char *missing : {"deviceCommand", "sendStdout", "sendStderr",
                                "needWritableFilesystem", "executeLocation"}) {
        Parameters parameters = {{"deviceCommand", "true"},        {"sendStdout", "true"},
                                 {"sendStderr", "true"},           {"needWritableFilesystem", "true"},
                                 {"executeLocation", ""},          {"lockoutUser", "true"}};
        Parameters kept;
        for (const auto &parameter : parameters) {
            if (parameter.first != missing) {
                kept.push_back(parameter);
            }
        }
        agent::CommandPtr command = commandtest::makeCommand("executeOnDevice", kept);
        commandtest::Outcome outcome =
            commandtest::runHandler(commandtest::handlerFor("executeOnDevice"), command.get());
        EXPECT_EQ(outcome.result, -1) << missing;
        EXPECT_EQ(outcome.errorClass, "invalid_arguments") << missing;
        EXPECT_FALSE(outcome.hasMessage) << missing;
        EXPECT_FALSE(outcome.hasResponse) << missing;
    }
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    EXPECT_EQ(userLockedOut(), 0);
}

TEST_F(ExecuteCommandTest, WriteFilterAndLockoutAroundTheCommand) {
    ixoSetCommandRunner(observingRunner);
    commandtest::Outcome outcome =
        execute("touch /etc/new.conf", "", "false", "false", "true", {{"lockoutUser", "true"}});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("sudo su -c \"rw\"", " touch /etc/new.conf  ", cleanup(),
                            "sudo su -c \"ro\""));
    EXPECT_THAT(lockedWhileRunning, ElementsAre(true, true, true, true));
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_TRUE(support::exists(hostPath("/etc/new.conf")));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

}  // namespace
