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

// Labels lose what the shell would act on.
TEST_F(QueryUserTest, TimeoutAndLabelledDelaysOnTheLineAndTheRawStatusAsAnswerOrASystemError) {
    EXPECT_EQ(ask("30s", pair("5 &quot;minutes&quot;", "300") +
                             pair("$(touch /tmp/pwned) `touch /tmp/pwned2` back\\slash&#10;line", "3600") +
                             pair("bad", "abc")),
              (Outcome{0, std::nullopt, std::nullopt, "<seconds>0</seconds>"}));
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(program + " 30 \"5 minutes\" 300 \"(touch /tmp/pwned) touch /tmp/pwned2 "
                                      "backslashline\" 3600 \"bad\" 0 > /dev/null 2>&1"));
    EXPECT_THAT(sim::programLog(root),
                ElementsAre("queryUser 30 5 minutes 300 (touch /tmp/pwned) touch /tmp/pwned2 "
                            "backslashline 3600 bad 0"));
    EXPECT_FALSE(exists("/tmp/pwned") || exists("/tmp/pwned2"));

    sim::setKnob(root, "queryUser.exit", "1");
    EXPECT_EQ(ask("5", pair("a", "1")),
              (Outcome{0, std::nullopt, std::nullopt, "<seconds>256</seconds>"}));
    // A shell that cannot run is no answer.
    ixoSetCommandRunner([](const char *) { return -1; });
    EXPECT_EQ(ask("5", pair("a", "1")),
              (Outcome{-1, "system_error", "System Error executing local queryUser command"}));
}

}  // namespace
