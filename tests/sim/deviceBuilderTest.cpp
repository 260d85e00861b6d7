#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using DeviceBuilderTest = support::SimDeviceTest;

struct stat statOf(const std::string &path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}

// A rebuild keeps the device's state and lays out its programs again: the
// stand-ins, never busybox applets that would act on this machine.
TEST_F(DeviceBuilderTest, RebuildRefreshesProgramsAndKeepsState) {
    support::writeFile(hostPath("/tmp/system.conf"), "[network]\nhostname=client\n");
    sim::setKnob(root, "rw.exit", "1");
    ASSERT_EQ(sim::chrootRunner("reboot"), 0);
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    support::writeFile(hostPath("/sbin/reboot"), "#!/bin/sh\nexit 99\n");
    ASSERT_EQ(unlink(hostPath("/dev/null").c_str()), 0);
    support::writeFile(hostPath("/dev/null"), "");

    std::string error;
    ASSERT_TRUE(sim::buildDevice(root + "/", &error)) << error;
    EXPECT_EQ(support::readFile(hostPath("/tmp/system.conf")), "[network]\nhostname=client\n");
    EXPECT_EQ(support::readFile(hostPath("/etc/sim/rw.exit")), "1");
    EXPECT_EQ(sim::programLog(root), (std::vector<std::string>{"reboot"}));
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    EXPECT_EQ(statOf(hostPath("/tmp")).st_mode & 07777, 01777u);
    struct stat null = statOf(hostPath("/dev/null"));
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    EXPECT_EQ(null.st_rdev, makedev(1, 3));
    for (const char *program : {"/bin/su", "/sbin/rw", "/sbin/ro", "/sbin/reboot", "/sbin/poweroff",
                                "/usr/bin/sudo", "/sbin/sudo", "/etc/addons.d/IXO_AGENT/lockdlg"}) {
        std::string path = hostPath(program);
        EXPECT_EQ(access(path.c_str(), X_OK), 0) << program;
        EXPECT_EQ(support::readFile(path).rfind("#!/bin/sh\n", 0), 0u) << program;
    }
    EXPECT_EQ(sim::chrootRunner("reboot"), 0);
}

TEST(DeviceBuilderPlacesTest, RefusesDirectoriesItCannotOrMustNotUse) {
    std::string base = support::makeTempDir("places-");
    std::string error;
    EXPECT_FALSE(sim::buildDevice("", &error));
    std::string occupied = base + "/occupied";
    ASSERT_EQ(mkdir(occupied.c_str(), 0755), 0);
    support::writeFile(occupied + "/notes.txt", "mine");
    EXPECT_FALSE(sim::buildDevice(occupied, &error));
    EXPECT_NE(error.find("not empty"), std::string::npos) << error;
    EXPECT_FALSE(support::exists(occupied + "/bin"));
    EXPECT_FALSE(sim::isDevice(occupied));

    EXPECT_TRUE(sim::buildDevice(base + "/new/nested/device", &error)) << error;
    EXPECT_TRUE(sim::isDevice(base + "/new/nested/device"));
    support::removeTree(base);
}

TEST(DeviceBuilderPlacesTest, WithoutRootSaysSoAndLeavesNothing) {
    std::string base = support::makeTempDir("unprivileged-");
    ASSERT_EQ(chmod(base.c_str(), 0777), 0);
    support::openToLocalUsers(base);
    std::string device = base + "/device";
    int status = support::runAsLocalUser([&] {
        std::string error;
        bool built = sim::buildDevice(device, &error);
        return !built && error.find("/dev/null needs root (mknod") != std::string::npos ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the build did not fail for want of root";
    EXPECT_FALSE(sim::isDevice(device));
    EXPECT_TRUE(std::filesystem::is_empty(base)) << "a half-built device was left";
    support::removeTree(base);
}

}  // namespace
