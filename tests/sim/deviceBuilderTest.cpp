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

mode_t modeOf(const std::string &path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode;
}

std::string linkTarget(const std::string &path) {
    char target[256] = {};
    ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length < 0 ? "" : std::string(target, static_cast<size_t>(length));
}

TEST_F(DeviceBuilderTest, LaysOutTheDevice) {
    EXPECT_TRUE(sim::isDevice(root));
    for (const char *dir : {"/home/root", "/temp", "/var/log", "/etc/sim", "/etc/addons.d/IXO_AGENT",
                            "/etc/zeltinpartition", "/proc/bus/pci", "/sys/class/dmi/id",
                            "/sbin/installer", "/usr/bin", "/usr/sbin"}) {
        EXPECT_TRUE(S_ISDIR(modeOf(hostPath(dir)))) << dir;
    }
    EXPECT_EQ(modeOf(hostPath("/tmp")) & 07777, 01777u);

    struct stat null {};
    ASSERT_EQ(stat(hostPath("/dev/null").c_str(), &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    EXPECT_EQ(null.st_rdev, makedev(1, 3));

    // A freshly imaged device's registries and kernel files.
    const struct {
        const char *path;
        const char *text;
    } kContents[] = {{"/tmp/system.conf", "[system]\nversion=6.2.0\n"},
                     {"/home/root/system.conf", "[IxoSettings]"},
                     {"/etc/addons.d/VORBIX/config/iniFile.ini", "[HKLM]\nSOFTWARE\\TELMARC\\VORBIX\\ListenPort=7070\n"},
                     {"/proc/meminfo", "MemTotal:"},
                     {"/proc/cpuinfo", "processor"}};
    for (const auto &c : kContents) {
        EXPECT_NE(support::readFile(hostPath(c.path)).find(c.text), std::string::npos) << c.path;
    }
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    EXPECT_EQ(sim::mountOptions(root, "/temp"), "rw,nosuid,nodev");
}

TEST_F(DeviceBuilderTest, BusyboxProvidesTheShellButNotTheStandIns) {
    EXPECT_EQ(access(hostPath("/bin/busybox").c_str(), X_OK), 0);
    EXPECT_TRUE(S_ISREG(modeOf(hostPath("/bin/busybox"))));
    for (const char *applet : {"sh", "cat", "awk", "grep", "sleep", "pidof", "["}) {
        EXPECT_EQ(linkTarget(hostPath(std::string("/bin/") + applet)), "busybox") << applet;
    }
    for (const char *program : {"/bin/su", "/sbin/rw", "/sbin/ro", "/sbin/reboot", "/sbin/poweroff",
                                "/usr/bin/sudo", "/sbin/sudo", "/etc/addons.d/IXO_AGENT/lockdlg",
                                "/etc/zeltinpartition/zeltinPartitionData.sh"}) {
        std::string path = hostPath(program);
        EXPECT_TRUE(S_ISREG(modeOf(path))) << program;
        EXPECT_EQ(access(path.c_str(), X_OK), 0) << program;
        EXPECT_EQ(support::readFile(path).rfind("#!/bin/sh\n", 0), 0u) << program;
    }
}

TEST_F(DeviceBuilderTest, RebuildRefreshesProgramsAndKeepsState) {
    support::writeFile(hostPath("/tmp/system.conf"), "[network]\nhostname=client\n");
    support::writeFile(hostPath("/home/root/system.conf"), "[agent]\nserver=a\n");
    sim::setKnob(root, "rw.exit", "1");
    ASSERT_EQ(sim::chrootRunner("reboot"), 0);
    ASSERT_TRUE(sim::setMountOptions(root, "/", "rw,noatime"));
    support::writeFile(hostPath("/sbin/reboot"), "#!/bin/sh\nexit 99\n");
    ASSERT_EQ(unlink(hostPath("/bin/cat").c_str()), 0);
    ASSERT_EQ(unlink(hostPath("/dev/null").c_str()), 0);
    support::writeFile(hostPath("/dev/null"), "");

    std::string error;
    ASSERT_TRUE(sim::buildDevice(root + "/", &error)) << error;

    EXPECT_EQ(support::readFile(hostPath("/tmp/system.conf")), "[network]\nhostname=client\n");
    EXPECT_EQ(support::readFile(hostPath("/home/root/system.conf")), "[agent]\nserver=a\n");
    EXPECT_EQ(support::readFile(hostPath("/etc/sim/rw.exit")), "1");
    EXPECT_EQ(sim::programLog(root), (std::vector<std::string>{"reboot"}));
    EXPECT_EQ(sim::mountOptions(root, "/"), "rw,noatime");
    EXPECT_EQ(linkTarget(hostPath("/bin/cat")), "busybox");
    EXPECT_TRUE(S_ISCHR(modeOf(hostPath("/dev/null"))));
    EXPECT_EQ(sim::chrootRunner("reboot"), 0);
}

TEST(DeviceBuilderPlacesTest, RefusesDirectoriesItCannotOrMustNotUse) {
    std::string base = support::makeTempDir("places-");
    std::string error;
    EXPECT_FALSE(sim::buildDevice("", &error));
    EXPECT_FALSE(error.empty());

    support::writeFile(base + "/file", "x");
    error.clear();
    EXPECT_FALSE(sim::buildDevice(base + "/file/device", &error));
    EXPECT_NE(error.find(base + "/file"), std::string::npos) << error;

    std::string occupied = base + "/occupied";
    ASSERT_EQ(mkdir(occupied.c_str(), 0755), 0);
    support::writeFile(occupied + "/notes.txt", "mine");
    error.clear();
    EXPECT_FALSE(sim::buildDevice(occupied, &error));
    EXPECT_NE(error.find("not empty"), std::string::npos) << error;
    EXPECT_FALSE(support::exists(occupied + "/bin"));
    EXPECT_FALSE(sim::isDevice(occupied));
    EXPECT_FALSE(sim::isDevice(""));

    std::string fresh = base + "/new/nested/device";
    EXPECT_TRUE(sim::buildDevice(fresh, &error)) << error;
    EXPECT_TRUE(sim::isDevice(fresh));
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

TEST_F(DeviceBuilderTest, MountTableReadsAndSetsOneMount) {
    EXPECT_EQ(sim::mountOptions(root, "/home"), "rw,noatime");
    EXPECT_EQ(sim::mountOptions(root, "/nowhere"), "");
    EXPECT_EQ(sim::mountOptions(root + "/missing", "/"), "");

    ASSERT_TRUE(sim::setMountOptions(root, "/home", "ro,noatime"));
    EXPECT_EQ(sim::mountOptions(root, "/home"), "ro,noatime");
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    std::string mounts = support::readFile(hostPath("/proc/mounts"));
    EXPECT_NE(mounts.find("rootfs / rootfs rw 0 0\n"), std::string::npos);
    EXPECT_NE(mounts.find("/dev/sda2 /home ext2 ro,noatime 0 0\n"), std::string::npos);

    EXPECT_FALSE(sim::setMountOptions(root, "/nowhere", "rw"));
    EXPECT_FALSE(sim::setMountOptions(root, "/home", "rw noatime"));
    EXPECT_FALSE(sim::setMountOptions(root, "/home", ""));
    EXPECT_EQ(support::readFile(hostPath("/proc/mounts")), mounts);
}

}  // namespace
