#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using RecordingRunnerTest = support::SimDeviceTest;
using Lines = std::vector<std::string>;

TEST_F(RecordingRunnerTest, RecordsEveryLineAndRunsItOnlyOnASimulatedDevice) {
    sim::setRecordingResult(9 * 256);
    EXPECT_EQ(sim::recordingRunner("echo first > /tmp/first"), 0);
    EXPECT_EQ(sim::recordingRunner("exit 5"), 5 * 256);
    EXPECT_EQ(support::readFile(hostPath("/tmp/first")), "first\n");
    EXPECT_EQ(sim::recordingRunner(nullptr), 1) << "a null line asks for a shell and is not recorded";

    std::string plain = support::makeTempDir("plain-");
    std::string touch = "touch /tmp/recording-check-" + std::to_string(getpid());
    sim::setRoot(plain);
    EXPECT_EQ(sim::recordingRunner(touch.c_str()), 9 * 256);
    EXPECT_EQ(sim::recordingRunner(nullptr), 0);
    sim::setRoot("");
    EXPECT_EQ(sim::recordingRunner("poweroff"), 9 * 256);
    sim::setRoot(root);
    EXPECT_EQ(sim::recordedLines(), (Lines{"echo first > /tmp/first", "exit 5", touch, "poweroff"}));
    EXPECT_FALSE(support::exists(touch.substr(6)));
    EXPECT_FALSE(support::exists(plain + touch.substr(6)));
    support::removeTree(plain);
}

// Lines another process runs reach the test through the line log: whole,
// line breaks included, and in order.
TEST_F(RecordingRunnerTest, LineLogKeepsEveryLineWhole) {
    std::string log = hostPath("/tmp/lines");
    sim::setLineLog(log);
    EXPECT_EQ(sim::recordingRunner("echo 'two\nlines'"), 0);
    EXPECT_EQ(sim::recordingRunner("true"), 0);
    sim::setLineLog("");
    EXPECT_EQ(sim::recordingRunner("false"), 256);
    EXPECT_EQ(sim::readLineLog(log), (Lines{"echo 'two\nlines'", "true"}));
    EXPECT_TRUE(sim::readLineLog(hostPath("/tmp/absent")).empty());
}

}  // namespace
