// Device paths under a simulated root resolve to what a process chrooted into
// the root would see, whatever links and ".." the device holds, and never to
// a host file around it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "device/rootedPath.h"
#include "tests/support/support.h"

namespace {

using device::LastLink;
using device::Resolution;

// What stat (a followed last link) or lstat (a kept one) sees: the file, or
// the error. Three 64-bit fields, no padding: a child sends it through a pipe.
struct Seen {
    int64_t error = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const Seen &other) const {
        return error == other.error && (error != 0 || (dev == other.dev && ino == other.ino));
    }
};

Seen look(const std::string &path, LastLink last) {
    Seen seen;
    struct stat info;
    int status = last == LastLink::Followed ? stat(path.c_str(), &info) : lstat(path.c_str(), &info);
    if (status != 0) {
        seen.error = errno;
    } else {
        seen.dev = info.st_dev;
        seen.ino = info.st_ino;
    }
    return seen;
}

Seen lookInChroot(const std::string &root, const std::string &path, LastLink last) {
    int channel[2];
    if (pipe(channel) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return Seen{};
    }
    pid_t child = fork();
    if (child == 0) {
        Seen seen;
        seen.error = -1;
        if (chroot(root.c_str()) == 0 && chdir("/") == 0) {
            seen = look(path, last);
        }
        _exit(write(channel[1], &seen, sizeof seen) == sizeof seen ? 0 : 1);
    }
    close(channel[1]);
    Seen seen;
    seen.error = -2;
    EXPECT_EQ(read(channel[0], &seen, sizeof seen), static_cast<ssize_t>(sizeof seen));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_NE(seen.error, -1) << "the chroot into " << root << " failed";
    return seen;
}

class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = support::makeTempDir("resolve-");
        root = base + "/device";
        outside = base + "/outside";
        for (const char *dir : {"", "/etc", "/etc/dir", "/tmp"}) {
            ASSERT_EQ(mkdir((root + dir).c_str(), 0755), 0);
        }
        ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
        support::writeFile(root + "/etc/target", "inside");
        support::writeFile(root + "/etc/dir/inner", "inside");
        support::writeFile(outside + "/secret", "outside");
        link("../etc/target", "/tmp/rel-file");
        link("/etc/target", "/tmp/abs-file");
        link("/etc/dir", "/tmp/abs-dir");
        link("abs-dir", "/tmp/chain");
        link("loop-b", "/tmp/loop-a");
        link("/tmp/loop-a", "/tmp/loop-b");
        link("../../../..", "/tmp/up");
        // Read on the host, this would lead out of the device.
        link(outside, "/tmp/host");
        // The kernel's bound: 40 links followed, not 41.
        for (int i = 0; i < 39; ++i) {
            link("c" + std::to_string(i + 1), "/tmp/c" + std::to_string(i));
        }
        link("/etc/target", "/tmp/c39");
        link("c0", "/tmp/c-over");
    }
    void TearDown() override { support::removeTree(base); }

    void link(const std::string &target, const std::string &devicePath) {
        ASSERT_EQ(symlink(target.c_str(), (root + devicePath).c_str()), 0) << devicePath;
    }

    std::string base;
    std::string root;
    std::string outside;
};

struct Answer {
    std::string path;  // below the root, when the path resolves
    int error;
};

struct Case {
    std::string path;
    Answer followed;
    Answer kept;
};

TEST_F(DeviceRootTest, LinksAndDotDotResolveInsideTheRootAsChrootSeesThem) {
    const std::vector<Case> cases = {
        {"/tmp/rel-file", {"/etc/target", 0}, {"/tmp/rel-file", 0}},
        {"/tmp/abs-file", {"/etc/target", 0}, {"/tmp/abs-file", 0}},
        {"/tmp/abs-dir/inner", {"/etc/dir/inner", 0}, {"/etc/dir/inner", 0}},
        {"/tmp/chain/inner", {"/etc/dir/inner", 0}, {"/etc/dir/inner", 0}},
        {"/tmp/abs-dir/../target", {"/etc/target", 0}, {"/etc/target", 0}},
        {"/tmp/abs-dir/", {"/etc/dir/", 0}, {"/etc/dir/", 0}},
        {"/tmp/loop-a", {"", ELOOP}, {"/tmp/loop-a", 0}},
        {"/tmp/loop-a/inner", {"", ELOOP}, {"", ELOOP}},
        {"/tmp/c0", {"/etc/target", 0}, {"/tmp/c0", 0}},
        {"/tmp/c-over", {"", ELOOP}, {"/tmp/c-over", 0}},
        {"/../../etc/target", {"/etc/target", 0}, {"/etc/target", 0}},
        {"etc/dir/../target", {"/etc/target", 0}, {"/etc/target", 0}},
        {"/tmp/up/etc/target", {"/etc/target", 0}, {"/etc/target", 0}},
        {"/tmp/up", {"", 0}, {"/tmp/up", 0}},
        // A host path, read inside the device, where it is missing; the host
        // would find the file.
        {"/tmp/host/secret", {outside + "/secret", 0}, {outside + "/secret", 0}},
        {"/tmp/missing/new", {"/tmp/missing/new", 0}, {"/tmp/missing/new", 0}},
        {"/tmp/missing/../abs-file", {"", ENOENT}, {"", ENOENT}},
        {"/etc/target/../dir", {"", ENOTDIR}, {"", ENOTDIR}},
    };
    std::string probe;
    bool kernelResolves =
        device::resolveInRoot(root, "/etc", LastLink::Followed, &probe, Resolution::KernelOnly) !=
        ENOSYS;
    if (!kernelResolves) {
        std::cerr << "this kernel has no openat2: the walk alone is checked\n";
    }
    for (const Case &c : cases) {
        for (LastLink last : {LastLink::Followed, LastLink::Kept}) {
            const Answer &answer = last == LastLink::Followed ? c.followed : c.kept;
            Seen chrooted = lookInChroot(root, c.path, last);
            for (auto [how, name] : {std::pair{Resolution::ComponentWalk, "walked"},
                                     std::pair{Resolution::KernelFirst, "kernel first"},
                                     std::pair{Resolution::KernelOnly, "kernel only"}}) {
                SCOPED_TRACE(c.path + (last == LastLink::Followed ? " followed, " : " kept, ") +
                             name);
                if (how == Resolution::KernelOnly && !kernelResolves) {
                    continue;
                }
                std::string host;
                int error = device::resolveInRoot(root, c.path, last, &host, how);
                // openat2 answers EAGAIN to a lookup through ".." while any
                // rename happens on the machine (a build beside the tests):
                // the kernel asks to try again.
                for (int retry = 0; retry < 100 && error == EAGAIN; ++retry) {
                    error = device::resolveInRoot(root, c.path, last, &host, how);
                }
                if (how == Resolution::KernelOnly) {
                    // The kernel answers alone exactly where the path exists.
                    EXPECT_EQ(error != 0, chrooted.error != 0);
                    if (error == 0) {
                        EXPECT_EQ(host, root + answer.path);
                    }
                    continue;
                }
                EXPECT_EQ(error, answer.error);
                if (answer.error != 0) {
                    EXPECT_EQ(chrooted.error, answer.error);
                    continue;
                }
                EXPECT_EQ(host, root + answer.path);
                EXPECT_TRUE(look(host, last) == chrooted)
                    << "the host sees " << host << " otherwise than the device";
            }
        }
    }
}

}  // namespace
