// "queryUser": the command line handed to the device's queryUser program and
// the answer reported as "seconds".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/commands.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char program[] = "/etc/addons.d/IXO_AGENT/queryUser";

int failingShell(const char *) { return -1; }

class QueryUserTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        ixoSetCommandRunner(sim::recordingRunner);
        support::SimDeviceTest::TearDown();
    }

    // parametersXml is the inside of <parameters>, so that labels can hold
    // anything XML can carry.
    commandtest::Outcome ask(const std::string &parametersXml) {
        std::string error;
        agent::CommandPtr command = agent::parseCommand(
            "<command name=\"queryUser\"><parameters>" + parametersXml + "</parameters></command>",
            "query.xml", &error);
        EXPECT_TRUE(command) << error;
        return commandtest::runHandler(queryUser, command.get());
    }

    static std::string pair(const std::string &key, const std::string &value) {
        return "<pair><key>" + key + "</key><value>" + value + "</value></pair>";
    }
};

TEST_F(QueryUserTest, TableEntryIsTheExportedFunction) {
    EXPECT_EQ(commandtest::handlerFor("queryUser"), &queryUser);
}

TEST_F(QueryUserTest, TimeoutAndLabelledDelaysOnTheLine) {
    commandtest::Outcome outcome = ask("<timeout>30</timeout><delaySet>" + pair("5 minutes", "300") +
                                       pair("1 hour", "3600") + "</delaySet>");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.response, "<seconds>0</seconds>");
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(std::string(program) +
                            " 30 \"5 minutes\" 300 \"1 hour\" 3600 > /dev/null 2>&1"));
    EXPECT_THAT(sim::programLog(root), ElementsAre("queryUser 30 5 minutes 300 1 hour 3600"));
}

TEST_F(QueryUserTest, LabelsLoseWhatTheShellWouldActOn) {
    commandtest::Outcome outcome =
        ask("<timeout>10s</timeout><delaySet>" + pair("&quot;hi&quot;", "abc") +
            pair("$(touch /tmp/pwned) `touch /tmp/pwned2` back\\slash&#10;line", "5") +
            "</delaySet>");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(std::string(program) +
                            " 10 \"hi\" 0 \"(touch /tmp/pwned) touch /tmp/pwned2 backslashline\" 5"
                            " > /dev/null 2>&1"));
    EXPECT_FALSE(support::exists(hostPath("/tmp/pwned")));
    EXPECT_FALSE(support::exists(hostPath("/tmp/pwned2")));
}

TEST_F(QueryUserTest, ExitCodeIsReportedAsTheRawStatus) {
    sim::setKnob(root, "queryUser.exit", "1");
    commandtest::Outcome outcome = ask("<timeout>5</timeout><delaySet>" + pair("now", "0") +
                                       "</delaySet>");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.response, "<seconds>256</seconds>");
}

TEST_F(QueryUserTest, MalformedQuestionsRunNothing) {
    struct Case {
        std::string parameters;
        std::string message;
    };
    std::vector<Case> cases = {
        {"<delaySet>" + pair("a", "1") + "</delaySet>", "No timeout specified"},
        {"<timeout>5</timeout>", "Must have a delaySet specified"},
        {"<timeout>5</timeout><delaySet></delaySet>", "Must have at least one pair defined"},
        {"<timeout>5</timeout><delaySet>" + pair("a", "1") + "<note>x</note></delaySet>",
         "No key defined in pair"},
        {"<timeout>5</timeout><delaySet><pair><key>a</key></pair></delaySet>",
         "No value defined in pair"},
    };
    for (const Case &bad : cases) {
        commandtest::Outcome outcome = ask(bad.parameters);
        EXPECT_EQ(outcome.result, -1) << bad.parameters;
        EXPECT_EQ(outcome.errorClass, "invalid_arguments") << bad.parameters;
        EXPECT_EQ(outcome.message, bad.message) << bad.parameters;
        EXPECT_FALSE(outcome.hasResponse);
    }
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

TEST_F(QueryUserTest, OverlongLineIsRefusedNotCut) {
    std::string pairs;
    for (int index = 0; index < 120; ++index) {
        pairs += pair(std::string(60, 'L') + std::to_string(index), std::to_string(index));
    }
    commandtest::Outcome outcome = ask("<timeout>5</timeout><delaySet>" + pairs + "</delaySet>");
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_THAT(sim::recordedLines(), IsEmpty());

    // Just under the limit still runs, whole.
    std::string fits;
    for (int index = 0; index < 100; ++index) {
        fits += pair(std::string(60, 'L'), "1");
    }
    EXPECT_EQ(ask("<timeout>5</timeout><delaySet>" + fits + "</delaySet>").result, 0);
    ASSERT_EQ(sim::recordedLines().size(), 1u);
    EXPECT_LE(sim::recordedLines()[0].size(), 8191u);
    EXPECT_EQ(sim::recordedLines()[0].substr(sim::recordedLines()[0].size() - 17),
              " > /dev/null 2>&1");
}

TEST_F(QueryUserTest, ShellThatCannotRunIsASystemError) {
    ixoSetCommandRunner(failingShell);
    commandtest::Outcome outcome = ask("<timeout>5</timeout><delaySet>" + pair("a", "1") +
                                       "</delaySet>");
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "system_error");
    EXPECT_EQ(outcome.message, "System Error executing local queryUser command");
}

}  // namespace
