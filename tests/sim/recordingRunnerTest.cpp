#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using RecordingRunnerTest = support::SimDeviceTest;
using Lines = std::vector<std::string>;

TEST_F(RecordingRunnerTest, RecordsAndRunsLinesOnASimulatedDevice) {
    sim::setRecordingResult(9 * 256);
    EXPECT_EQ(sim::recordingRunner("echo first > /tmp/first"), 0);
    EXPECT_EQ(sim::recordingRunner("exit 5"), 5 * 256);

    EXPECT_EQ(sim::recordedLines(), (Lines{"echo first > /tmp/first", "exit 5"}));
    EXPECT_EQ(support::readFile(hostPath("/tmp/first")), "first\n");
    EXPECT_EQ(sim::recordingRunner(nullptr), 1);
    EXPECT_EQ(sim::recordedLines().size(), 2u) << "a null line is not recorded";
    sim::clearRecordedLines();
    EXPECT_TRUE(sim::recordedLines().empty());
}

TEST_F(RecordingRunnerTest, RunsNothingWhenTheRootIsNoDevice) {
    std::string plain = support::makeTempDir("plain-");
    std::string name = "/tmp/recording-check-" + std::to_string(getpid());
    std::string line = "touch " + name;
    sim::setRoot(plain);

    EXPECT_EQ(sim::recordingRunner(line.c_str()), 0);
    sim::setRecordingResult(3 * 256);
    EXPECT_EQ(sim::recordingRunner("reboot -f"), 3 * 256);
    EXPECT_EQ(sim::recordingRunner(nullptr), 0);
    sim::setRoot("");
    EXPECT_EQ(sim::recordingRunner("poweroff"), 3 * 256);
    sim::setRoot(root);

    EXPECT_EQ(sim::recordedLines(), (Lines{line, "reboot -f", "poweroff"}));
    EXPECT_FALSE(support::exists(name));
    EXPECT_FALSE(support::exists(plain + name));
    support::removeTree(plain);
}

// Lines another process runs reach the test through the line log: whole,
// line breaks included, and in order.
TEST_F(RecordingRunnerTest, LineLogKeepsEveryLineWhole) {
    std::string log = hostPath("/tmp/lines");
    sim::setLineLog(log);
    EXPECT_EQ(sim::recordingRunner("echo 'two\nlines'"), 0);
    EXPECT_EQ(sim::recordingRunner("true"), 0);
    EXPECT_EQ(sim::recordingRunner(nullptr), 1);
    sim::setLineLog("");
    EXPECT_EQ(sim::recordingRunner("false"), 256);

    EXPECT_EQ(sim::readLineLog(log), (Lines{"echo 'two\nlines'", "true"}));
    EXPECT_TRUE(sim::readLineLog(hostPath("/tmp/absent")).empty());
}

}  // namespace
