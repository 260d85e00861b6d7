// Reboot and power-off run their device programs in order, through the
// runner, on the simulated device only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ixo/agent.h"
#include "ixo/commands.h"
#include "sim/sim.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char partitionScript[] = "sh /etc/zeltinpartition/zeltinPartitionData.sh 6";

class RebootTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        poweroff2MBBios = 0;
        support::SimDeviceTest::TearDown();
    }
};

TEST_F(RebootTest, RebootWaitsThenRebootsTwice) {
    poweroff2MBBios = 0;
    EXPECT_EQ(pDeviceReboot(1), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript, "reboot -f", "reboot -f"));
    EXPECT_THAT(support::sleeps(), ElementsAre(3));
    EXPECT_THAT(sim::programLog(root),
                ElementsAre("zeltinPartitionData.sh 6", "reboot -f", "reboot -f"));
}

TEST_F(RebootTest, TwoMegabyteBiosPowersOffBeforeRebooting) {
    poweroff2MBBios = 1;
    EXPECT_EQ(doRebootAfterCommit(), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript, "poweroff", "poweroff",
                                                  "reboot -f", "reboot -f"));
    EXPECT_THAT(support::sleeps(), ElementsAre(3));
}

TEST_F(RebootTest, RebootAfterCommitWithoutPowerCycle) {
    poweroff2MBBios = 0;
    EXPECT_EQ(doRebootAfterCommit(), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript, "reboot -f", "reboot -f"));
    EXPECT_THAT(support::sleeps(), ElementsAre(3));
}

TEST_F(RebootTest, PowerOffOnce) {
    poweroff2MBBios = 1;
    EXPECT_EQ(pDeviceReboot(2), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript, "poweroff"));
    EXPECT_THAT(support::sleeps(), ElementsAre(3));
}

TEST_F(RebootTest, UnknownModesOnlyRunThePartitionScript) {
    for (int mode : {0, 3, -1}) {
        sim::clearRecordedLines();
        EXPECT_EQ(pDeviceReboot(mode), -1) << mode;
        EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript)) << mode;
    }
    EXPECT_THAT(support::sleeps(), IsEmpty());
}

TEST_F(RebootTest, FailingProgramsDoNotStopTheSequence) {
    sim::setKnob(root, "reboot.exit", "1");
    sim::setKnob(root, "zeltinPartitionData.sh.exit", "2");
    EXPECT_EQ(pDeviceReboot(1), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(partitionScript, "reboot -f", "reboot -f"));
}

}  // namespace
