// Reboot and power-off run their device programs in order, through the
// runner, on the simulated device only.
#include "tests/support/commandTestSupport.h"

using namespace commandtest;

namespace {

using RebootTest = HandlerTest;

TEST_F(RebootTest, EachModeRunsItsProgramsAfterThePartitionScriptWhateverTheyReturn) {
    sim::setKnob(root, "reboot.exit", "1");
    sim::setKnob(root, "zeltinPartitionData.sh.exit", "2");
    const int afterCommit = 100;  // doRebootAfterCommit
    const struct {
        int mode;
        int twoMegabyteBios;
        int result;
        Lines programs;
    } cases[] = {
        {1, 0, 0, {"reboot -f", "reboot -f"}},
        {afterCommit, 1, 0, {"poweroff", "poweroff", "reboot -f", "reboot -f"}},
        {2, 1, 0, {"poweroff"}},
        {0, 1, -1, {}},
        {3, 0, -1, {}},
        {-1, 0, -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        sim::clearRecordedLines();
        support::clearSleeps();
        poweroff2MBBios = c.twoMegabyteBios;
        EXPECT_EQ(c.mode == afterCommit ? doRebootAfterCommit() : pDeviceReboot(c.mode), c.result);
        Lines expected = {"sh /etc/zeltinpartition/zeltinPartitionData.sh 6"};
        expected.insert(expected.end(), c.programs.begin(), c.programs.end());
        EXPECT_EQ(sim::recordedLines(), expected);
        EXPECT_EQ(support::sleeps(), c.result == 0 ? std::vector<int>{3} : std::vector<int>{});
    }
    poweroff2MBBios = 0;
    // The failures were seen, and did not stop the sequence.
    EXPECT_THAT(support::logText(), HasSubstr("'reboot -f' returned 256"));
    EXPECT_THAT(support::logText(), HasSubstr("zeltinPartitionData.sh 6' returned 512"));
}

}  // namespace
