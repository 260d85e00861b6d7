// The scan that every end-to-end test applies to the lines the agent ran:
// it must pass text the library quotes and catch text that it does not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "tests/agent/shellScan.h"

using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

namespace {

TEST(ShellScan, QuotedTaintIsSafeAtEveryNestingLevel) {
    std::string text = e2e::tainted();
    EXPECT_THAT(e2e::unsafeTaint("rm -f " + device::shellQuote(text)), IsEmpty());
    EXPECT_THAT(e2e::unsafeTaint(device::sudoSuLine("/sbin/mii-tool " + device::shellQuote(text) +
                                                    " > /tmp/x")),
                IsEmpty());
    EXPECT_THAT(e2e::unsafeTaint("cp " + device::shellQuote(e2e::taintedUrlText()) + " /tmp"),
                IsEmpty());
    // Double quotes hold text the shell does not expand.
    EXPECT_THAT(e2e::unsafeTaint("queryUser \"" + e2e::tainted("5 minutes;|*'") + "\" 300"),
                IsEmpty());
    EXPECT_THAT(e2e::unsafeTaint("echo no outside text; ls"), IsEmpty());
}

TEST(ShellScan, CatchesTaintTheShellWouldActOn) {
    std::string text = e2e::tainted();
    // Raw, split into several words and commands.
    EXPECT_THAT(e2e::unsafeTaint("rm -f " + text), Not(IsEmpty()));
    // Quoted for one shell only: the nested shell splits it.
    EXPECT_THAT(e2e::unsafeTaint("sudo su -c \"rm -f " + e2e::tainted("a b") + "\""),
                Not(IsEmpty()));
    EXPECT_THAT(e2e::unsafeTaint("sh -c " + device::shellQuote("ls " + e2e::tainted("*"))),
                SizeIs(1));
    // Expansions inside double quotes.
    EXPECT_THAT(e2e::unsafeTaint("echo \"" + e2e::tainted("$(id)") + "\""), SizeIs(1));
    EXPECT_THAT(e2e::unsafeTaint("echo \"" + e2e::tainted("`id`") + "\""), SizeIs(1));
    // A glob or a blank needs quotes even without any shell operator.
    EXPECT_THAT(e2e::unsafeTaint("ls /tmp/" + e2e::tainted("*")), SizeIs(1));
    // A quote the text closes itself.
    EXPECT_THAT(e2e::unsafeTaint("rm -f '" + e2e::tainted("'x") + "'"), Not(IsEmpty()));
    // Cut text leaves an open quote in the line.
    EXPECT_THAT(e2e::unsafeTaint("rm -f '" + std::string(e2e::kTaintBegin)), SizeIs(1));
}

}  // namespace
