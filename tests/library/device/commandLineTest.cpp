// Outside text put into device command lines reaches the program as one
// argument, byte for byte, also through sudo su -c "...".
// The seam a host uses to point the library at a device: the root as given,
// without a trailing slash, and none for the real device.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device.h"
#include "ixo/seams.h"
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

TEST_F(CommandLineTest, QuotedTextIsOneArgumentThroughTheShellAndThroughSudoSu) {
    for (const std::string &name : awkwardNames) {
        std::string line = "/usr/bin/showargs " + device::shellQuote(name) + " end";
        for (const std::string &run : {line, device::sudoSuLine(line)}) {
            ASSERT_EQ(sim::chrootRunner(run.c_str()), 0) << run;
            EXPECT_EQ(argumentsSeen(), "[" + name + "]\n[end]\n") << run;
        }
    }
    EXPECT_FALSE(support::exists(hostPath("/tmp/pwned")));
}

using SeamsTest = support::SimDeviceTest;

TEST_F(SeamsTest, DeviceRootIsNormalised) {
    ixoSetDeviceRoot("/srv/device/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "/srv/device");
    ixoSetDeviceRoot("/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(nullptr);
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(root.c_str());
    EXPECT_EQ(ixoGetDeviceRoot(), root);
}

}  // namespace
