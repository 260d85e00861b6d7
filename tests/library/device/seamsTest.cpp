// The seams a host uses to point the library at a device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/guards.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

std::vector<std::string> seenLines;
int answer = 0;

int answeringRunner(const char *line) {
    seenLines.push_back(line);
    return answer;
}

class SeamsTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        ixoSetCommandRunner(sim::recordingRunner);
        support::SimDeviceTest::TearDown();
    }
};

TEST_F(SeamsTest, DeviceRootIsNormalised) {
    std::string saved = ixoGetDeviceRoot();
    ixoSetDeviceRoot("/srv/device/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "/srv/device");
    ixoSetDeviceRoot("/");
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(nullptr);
    EXPECT_STREQ(ixoGetDeviceRoot(), "");
    ixoSetDeviceRoot(saved.c_str());
    EXPECT_EQ(ixoGetDeviceRoot(), root);
}

TEST_F(SeamsTest, FilesAreOpenedUnderTheRoot) {
    // The same question answered from two devices' mount tables.
    std::string other = support::makeTempDir("other-device-");
    std::string error;
    ASSERT_TRUE(sim::buildDevice(other, &error)) << error;
    ASSERT_TRUE(sim::setMountOptions(other, "/", "rw"));
    EXPECT_EQ(ixoIsWritable("/etc"), 0);
    ixoSetDeviceRoot(other.c_str());
    EXPECT_EQ(ixoIsWritable("/etc"), 1);
    ixoSetDeviceRoot(root.c_str());
    support::removeTree(other);
}

TEST_F(SeamsTest, CommandLinesGoToTheInstalledRunnerWithTheirStatus) {
    seenLines.clear();
    ixoSetCommandRunner(answeringRunner);
    answer = 0;
    EXPECT_EQ(makeWritable("/etc"), 0);
    answer = 256;
    EXPECT_EQ(makeWriteProtected("/etc"), -1);
    EXPECT_THAT(seenLines, ::testing::ElementsAre("sudo su -c \"rw\"", "sudo su -c \"ro\""));
    // Nothing reached the simulated device's programs.
    EXPECT_TRUE(sim::programLog(root).empty());
}

}  // namespace
