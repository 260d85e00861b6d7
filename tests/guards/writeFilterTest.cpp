// The write filter against the simulated device's mount table and its rw and
// ro stand-ins.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class WriteFilterTest : public support::SimDeviceTest {};

TEST_F(WriteFilterTest, RootDecidesOnItsRealLineNotTheRootfsLine) {
    // The simulated table lists "rootfs / rootfs rw" first, then "/" as ro,noatime.
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_EQ(ixoIsWritable("/tmp/file"), 0);
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    EXPECT_EQ(ixoIsWritable("/tmp/file"), 1);
}

TEST_F(WriteFilterTest, OtherMountsAnswerForThemselves) {
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 1);
    EXPECT_EQ(ixoIsWritable("/temp/x"), 1);
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 0);
    // "/homework" is a plain prefix match on "/home".
    EXPECT_EQ(ixoIsWritable("/homework/x"), 0);
    // An option that merely contains "ro" is not read-only.
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "rw,errors=remount-ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 1);
}

TEST_F(WriteFilterTest, UnknownAndUndeterminablePathsCountAsWritable) {
    EXPECT_EQ(ixoIsWritable("a/b"), 1);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("path 'a/b' not in filesystems"));
    EXPECT_THAT(log, HasSubstr("'a/b' May be an invalid path"));

    EXPECT_EQ(ixoIsWritable(nullptr), 0);
    EXPECT_THAT(support::logText(), HasSubstr("null path passed to ixoIsWritable"));

    // A known mount point missing from the table.
    support::writeFile(hostPath("/proc/mounts"), "/dev/sda1 / ext2 ro 0 0\n");
    EXPECT_EQ(ixoIsWritable("/temp/x"), 1);
    EXPECT_THAT(support::logText(), HasSubstr("Could not find '/temp/x' in mount table"));

    // No mount table at all.
    ASSERT_EQ(std::remove(hostPath("/proc/mounts").c_str()), 0);
    EXPECT_EQ(ixoIsWritable("/tmp/x"), 1);
    EXPECT_THAT(support::logText(), HasSubstr("Could not open mount table"));
}

TEST_F(WriteFilterTest, OnlyTheRootCarriesTheFilter) {
    EXPECT_EQ(hasWriteFilter("/tmp"), 1);
    EXPECT_EQ(hasWriteFilter("/"), 1);
    EXPECT_EQ(hasWriteFilter("/homework/x"), 0);
    EXPECT_EQ(hasWriteFilter("/temp/a"), 0);
    EXPECT_EQ(hasWriteFilter(nullptr), -1);
    EXPECT_THAT(support::logText(), HasSubstr("null path passed to hasWriteFilter"));
    support::clearLog();
    EXPECT_EQ(hasWriteFilter("relative"), 0);
    EXPECT_THAT(support::logText(), HasSubstr("[3] path 'relative' not found"));
}

TEST_F(WriteFilterTest, LiftingAndRestoringRunTheSwitchesEvenWhenAlreadyInThatState) {
    EXPECT_EQ(makeWritable("/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    EXPECT_EQ(makeWritable("/etc/x"), 0);
    EXPECT_EQ(makeWriteProtected("/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("sudo su -c \"rw\"", "sudo su -c \"rw\"", "sudo su -c \"ro\""));
    // su receives rw as the command to run, through sudo.
    std::vector<std::string> programs = sim::programLog(root);
    ASSERT_GE(programs.size(), 3u);
    EXPECT_EQ(programs[0], "sudo su -c rw");
    EXPECT_EQ(programs[1], "su -c rw");
    EXPECT_EQ(programs[2], "rw");
}

TEST_F(WriteFilterTest, FailingSwitchesAreReported) {
    sim::setKnob(root, "rw.exit", "1");
    sim::setKnob(root, "ro.exit", "1");
    EXPECT_EQ(makeWritable("/x"), -1);
    EXPECT_THAT(support::logText(), HasSubstr("Error trying to make / writable"));
    EXPECT_EQ(makeWriteProtected("/x"), -1);
    EXPECT_THAT(support::logText(), HasSubstr("Error trying to make / read only"));
    char *message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoMakeWritable("/x", &message), -1);
    EXPECT_EQ(message, nullptr);
    message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoMakeReadOnly("/x", &message), -1);
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

TEST_F(WriteFilterTest, PathsWithoutFilterAreRefusedWithoutRunningAnything) {
    char *message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoMakeWritable("/home/root/x", &message), -1);
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(makeWriteProtected("/temp/x"), -1);
    EXPECT_EQ(makeWritable(nullptr), -1);
    EXPECT_EQ(makeWriteProtected(nullptr), -1);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("attempt to make something writable that doesn't have write "
                               "filter: '/home/root/x'"));
    EXPECT_THAT(log, HasSubstr("attempt to make something read only that doesn't have write "
                               "filter '/temp/x'"));
    EXPECT_THAT(log, HasSubstr("null path passed to makeWritable"));
    EXPECT_THAT(log, HasSubstr("null path passed to makeWriteProtected"));

    message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoMakeWritable("/etc/x", &message), 0);
    EXPECT_EQ(message, nullptr);
    message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoMakeReadOnly("/etc/x", &message), 0);
    EXPECT_EQ(message, nullptr);
}

TEST_F(WriteFilterTest, StatusReportsFilterAndReadOnlyFlags) {
    int filter = 7;
    int readOnly = 7;
    char *message = reinterpret_cast<char *>(&message);
    EXPECT_EQ(ixoGetWriteFilterStatus(nullptr, &filter, &readOnly, &message), 0);
    EXPECT_EQ(filter, -1);
    EXPECT_EQ(readOnly, 1);
    EXPECT_EQ(message, nullptr);

    EXPECT_EQ(ixoGetWriteFilterStatus("/etc/passwd", &filter, &readOnly, &message), 0);
    EXPECT_EQ(filter, 1);
    EXPECT_EQ(readOnly, 1);
    EXPECT_EQ(ixoGetWriteFilterStatus("/home/root", &filter, &readOnly, &message), 0);
    EXPECT_EQ(filter, 0);
    EXPECT_EQ(readOnly, 0);

    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(ixoInitWriteFilterFunctions(), 0);
    }
}

}  // namespace
