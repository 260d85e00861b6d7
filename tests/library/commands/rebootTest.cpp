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
        poweroff2MBBios = c.twoMegabyteBios;
        EXPECT_EQ(c.mode == afterCommit ? doRebootAfterCommit() : pDeviceReboot(c.mode), c.result);
        Lines expected = {"sh /etc/zeltinpartition/zeltinPartitionData.sh 6"};
        expected.insert(expected.end(), c.programs.begin(), c.programs.end());
        EXPECT_EQ(sim::recordedLines(), expected);
    }
    poweroff2MBBios = 0;
}

}  // namespace
