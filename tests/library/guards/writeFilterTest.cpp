// The write filter against the simulated device's mount table and its rw and
// ro stand-ins.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class WriteFilterTest : public support::SimDeviceTest {};

// Calls an ixo* function whose message must come back null.
int clearingMessage(int (*function)(const char *, char **), const char *path) {
    char *message = reinterpret_cast<char *>(&message);
    int result = function(path, &message);
    EXPECT_EQ(message, nullptr);
    return result;
}

// The simulated table lists "rootfs / rootfs rw" first, then "/" as
// ro,noatime; /home and /temp are rw.
TEST_F(WriteFilterTest, PathsAnswerForTheMountTheyLieOn) {
    const struct {
        const char *path;
        int writable, filter;
    } cases[] = {
        {"/", 0, 1},           {"/tmp/file", 0, 1},       {"/etc/passwd", 0, 1},
        {"/homework/x", 1, 0}, {"/home/root/file", 1, 0}, {"/temp/x", 1, 0},
        {"relative", 1, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ixoIsWritable(c.path), c.writable);
        EXPECT_EQ(hasWriteFilter(c.path), c.filter);
        int filter = 7, readOnly = 7;
        char *message = reinterpret_cast<char *>(&message);
        EXPECT_EQ(ixoGetWriteFilterStatus(c.path, &filter, &readOnly, &message), 0);
        EXPECT_EQ(filter, c.filter);
        EXPECT_EQ(readOnly, c.writable ? 0 : 1);
        EXPECT_EQ(message, nullptr);
    }
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    EXPECT_EQ(ixoIsWritable("/tmp/file"), 1);
    // "/homework" lies on "/home": a plain prefix match.
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 0);
    EXPECT_EQ(ixoIsWritable("/homework/x"), 0);
    // An option that merely contains "ro" is not read-only.
    ASSERT_TRUE(sim::setMountOptions(root, "/home", "rw,errors=remount-ro"));
    EXPECT_EQ(ixoIsWritable("/home/root/file"), 1);
    EXPECT_EQ(ixoInitWriteFilterFunctions(), 0);

    // What cannot be determined counts as writable: a known mount point
    // missing from the table, or no table at all.
    support::writeFile(hostPath("/proc/mounts"), "/dev/sda1 / ext2 ro 0 0\n");
    EXPECT_EQ(ixoIsWritable("/temp/x"), 1);
    ASSERT_EQ(std::remove(hostPath("/proc/mounts").c_str()), 0);
    EXPECT_EQ(ixoIsWritable("/tmp/x"), 1);
}

// The switches run even when the filter is already in their state; a path
// without filter runs nothing.
TEST_F(WriteFilterTest, SwitchesRunForFilteredPathsAndReportTheirFailure) {
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/home/root/x"), -1);
    EXPECT_EQ(makeWriteProtected("/temp/x"), -1);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    EXPECT_EQ(makeWritable("/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/etc/x"), 0);
    EXPECT_EQ(clearingMessage(ixoMakeReadOnly, "/etc/x"), 0);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("sudo su -c \"rw\"", "sudo su -c \"rw\"", "sudo su -c \"ro\""));

    sim::setKnob(root, "rw.exit", "1");
    sim::setKnob(root, "ro.exit", "1");
    EXPECT_EQ(makeWritable("/x"), -1);
    EXPECT_EQ(makeWriteProtected("/x"), -1);
    EXPECT_EQ(clearingMessage(ixoMakeWritable, "/x"), -1);
    EXPECT_EQ(clearingMessage(ixoMakeReadOnly, "/x"), -1);
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

}  // namespace
