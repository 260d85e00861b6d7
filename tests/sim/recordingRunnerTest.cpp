#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using RecordingRunnerTest = support::SimDeviceTest;
using Lines = std::vector<std::string>;

// Every line is recorded, and written whole (line breaks included) to the
// line log that other processes' lines reach the test through; it runs only
// on a simulated device.
TEST_F(RecordingRunnerTest, RecordsEveryLineAndRunsItOnlyOnASimulatedDevice) {
    std::string log = hostPath("/tmp/lines");
    sim::setLineLog(log);
    sim::setRecordingResult(9 * 256);
    EXPECT_EQ(sim::recordingRunner("echo 'two\nlines' > /tmp/first"), 0);
    EXPECT_EQ(sim::recordingRunner("exit 5"), 5 * 256);
    sim::setLineLog("");
    EXPECT_EQ(support::readFile(hostPath("/tmp/first")), "two\nlines\n");
    EXPECT_EQ(sim::recordingRunner(nullptr), 1) << "a null line asks for a shell and is not recorded";

    std::string plain = support::makeTempDir("plain-");
    std::string touch = "touch /tmp/recording-check-" + std::to_string(getpid());
    sim::setRoot(plain);
    EXPECT_EQ(sim::recordingRunner(touch.c_str()), 9 * 256);
    EXPECT_EQ(sim::recordingRunner(nullptr), 0);
    sim::setRoot("");
    EXPECT_EQ(sim::recordingRunner("poweroff"), 9 * 256);
    sim::setRoot(root);
    EXPECT_EQ(sim::recordedLines(),
              (Lines{"echo 'two\nlines' > /tmp/first", "exit 5", touch, "poweroff"}));
    EXPECT_EQ(sim::readLineLog(log), (Lines{"echo 'two\nlines' > /tmp/first", "exit 5"}));
    EXPECT_FALSE(support::exists(touch.substr(6)));
    EXPECT_FALSE(support::exists(plain + touch.substr(6)));
    support::removeTree(plain);
}

}  // namespace
