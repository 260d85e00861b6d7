// "queryUser": the command line handed to the device's queryUser program and
// the answer reported as "seconds".
#include "tests/support/commandTestSupport.h"

using namespace commandtest;

namespace {

const std::string program = "/etc/addons.d/IXO_AGENT/queryUser";

std::string pair(const std::string &key, const std::string &value) {
    return "<pair><key>" + key + "</key><value>" + value + "</value></pair>";
}

// Labels can hold anything XML can carry.
Outcome ask(const std::string &timeout, const std::string &pairs) {
    return runXml("queryUser", "<timeout>" + timeout + "</timeout><delaySet>" + pairs + "</delaySet>");
}

using QueryUserTest = HandlerTest;

TEST_F(QueryUserTest, TimeoutAndLabelledDelaysOnTheLineAndTheRawStatusAsAnswer) {
    EXPECT_EQ(ask("30", pair("5 minutes", "300") + pair("1 hour", "3600")),
              (Outcome{0, std::nullopt, std::nullopt, "<seconds>0</seconds>"}));
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(program + " 30 \"5 minutes\" 300 \"1 hour\" 3600 > /dev/null 2>&1"));
    EXPECT_THAT(sim::programLog(root), ElementsAre("queryUser 30 5 minutes 300 1 hour 3600"));

    sim::setKnob(root, "queryUser.exit", "1");
    EXPECT_EQ(ask("5", pair("a", "1")),
              (Outcome{0, std::nullopt, std::nullopt, "<seconds>256</seconds>"}));
}

TEST_F(QueryUserTest, LabelsLoseWhatTheShellWouldActOn) {
    EXPECT_EQ(ask("10s", pair("&quot;hi&quot;", "abc") +
                             pair("$(touch /tmp/pwned) `touch /tmp/pwned2` back\\slash&#10;line", "5"))
                  .result,
              0);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(program +
                            " 10 \"hi\" 0 \"(touch /tmp/pwned) touch /tmp/pwned2 backslashline\" 5"
                            " > /dev/null 2>&1"));
    EXPECT_FALSE(exists("/tmp/pwned") || exists("/tmp/pwned2"));
}

TEST_F(QueryUserTest, ShellThatCannotRunIsASystemError) {
    ixoSetCommandRunner([](const char *) { return -1; });
    EXPECT_EQ(ask("5", pair("a", "1")),
              (Outcome{-1, "system_error", "System Error executing local queryUser command"}));
}

}  // namespace
