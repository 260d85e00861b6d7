// Outside text put into device command lines reaches the program as one
// argument, byte for byte, also through sudo su -c "...".
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

class CommandLineTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        // Writes each argument it gets on a line of its own.
        support::writeFile(hostPath("/usr/bin/showargs"),
                           "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"[$a]\"; done > /tmp/args\n");
        ASSERT_EQ(chmod(hostPath("/usr/bin/showargs").c_str(), 0755), 0);
    }

    std::string argumentsSeen() { return support::readFile(hostPath("/tmp/args")); }
};

const std::vector<std::string> awkwardNames = {
    "plain-name_1.0.tar",
    "two words",
    "x;touch /tmp/pwned",
    "$(touch /tmp/pwned)",
    "`touch /tmp/pwned`",
    "it's",
    "back\\slash",
    "\"double\"",
    "line\nbreak",
    "*",
    "",
};

TEST_F(CommandLineTest, QuotedTextIsOneArgumentThroughTheShell) {
    for (const std::string &name : awkwardNames) {
        std::string line = "/usr/bin/showargs " + device::shellQuote(name) + " end";
        ASSERT_EQ(sim::chrootRunner(line.c_str()), 0) << line;
        EXPECT_EQ(argumentsSeen(), "[" + name + "]\n[end]\n") << line;
    }
    EXPECT_FALSE(support::exists(hostPath("/tmp/pwned")));
}

TEST_F(CommandLineTest, QuotedTextSurvivesBothShellsOfSudoSu) {
    for (const std::string &name : awkwardNames) {
        std::string line = device::sudoSuLine("/usr/bin/showargs " + device::shellQuote(name) + " end");
        ASSERT_EQ(sim::chrootRunner(line.c_str()), 0) << line;
        EXPECT_EQ(argumentsSeen(), "[" + name + "]\n[end]\n") << line;
    }
    EXPECT_FALSE(support::exists(hostPath("/tmp/pwned")));
}

TEST_F(CommandLineTest, OrdinaryTextKeepsTheSystemsOwnLines) {
    EXPECT_EQ(device::shellQuote("/tmp/IXO_AGENT-2.1.tar"), "/tmp/IXO_AGENT-2.1.tar");
    EXPECT_EQ(device::shellQuote("two words"), "'two words'");
    EXPECT_EQ(device::shellQuote(""), "''");
    EXPECT_EQ(device::sudoSuLine("rw"), "sudo su -c \"rw\"");
    EXPECT_EQ(device::sudoSuLine("/sbin/mii-tool eth0 > /tmp/networkSpeed12"),
              "sudo su -c \"/sbin/mii-tool eth0 > /tmp/networkSpeed12\"");
}

}  // namespace
