// pDeleteFile and pDeleteDirectory on the simulated device.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/host.h"
#include "tests/support/support.h"

namespace {

using DeleteFunction = char *(*)(const char *, char **);

// The message a deletion service handed back ("" on success), freed as the
// library's caller does; a failure must come with the class "file_error".
std::string deletion(DeleteFunction function, const char *path) {
    char *message = nullptr;
    char *errorClass = function(path, &message);
    EXPECT_EQ(errorClass == nullptr, message == nullptr) << (path ? path : "(null)");
    std::string text = message != nullptr ? message : "";
    if (errorClass != nullptr) {
        EXPECT_STREQ(errorClass, "file_error");
    }
    std::free(errorClass);
    std::free(message);
    return text;
}

class DeletionTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        outside = support::makeTempDir("outside-");
        support::writeFile(outside + "/precious", "keep");
    }
    void TearDown() override {
        EXPECT_EQ(support::readFile(outside + "/precious"), "keep");
        support::removeTree(outside);
        support::SimDeviceTest::TearDown();
    }
    void makeDir(const std::string &devicePath) {
        ASSERT_EQ(mkdir(hostPath(devicePath).c_str(), 0755), 0) << devicePath;
    }
    void makeLink(const std::string &target, const std::string &devicePath) {
        ASSERT_EQ(symlink(target.c_str(), hostPath(devicePath).c_str()), 0) << devicePath;
    }
    bool present(const std::string &devicePath) { return support::exists(hostPath(devicePath)); }

    std::string outside;  // a host directory that links on the device point to
};

}  // namespace

TEST_F(DeletionTest, DeletesAFileALinkOrATreeWithoutFollowingLinks) {
    for (const char *dir :
         {"/home/root/data", "/home/root/data/a", "/home/root/data/a/b", "/home/root/data/empty"}) {
        makeDir(dir);
    }
    support::writeFile(hostPath("/home/root/old.log"), "data");
    support::writeFile(hostPath("/home/root/data/a/b/deep.txt"), "data");
    support::writeFile(hostPath("/home/root/data/a/.hidden"), "data");
    makeLink(outside + "/precious", "/tmp/fileLink");
    makeLink(outside, "/tmp/dirLink");
    makeLink(outside, "/home/root/data/a/linkToDir");
    makeLink(outside + "/precious", "/home/root/data/linkToFile");
    makeLink("/nowhere", "/home/root/data/dangling");
    std::string deep = "/home/root/data";
    for (int level = 0; level < 40; ++level) {
        makeDir(deep += "/d");
    }
    for (const char *path : {"/home/root/old.log", "/tmp/fileLink", "/tmp/dirLink"}) {
        EXPECT_EQ(deletion(pDeleteFile, path), "") << path;
        EXPECT_FALSE(present(path)) << path;
    }
    EXPECT_EQ(deletion(pDeleteDirectory, "/home/root/data/"), "");
    EXPECT_FALSE(present("/home/root/data"));
    EXPECT_TRUE(present("/home/root"));
}

// A missing file and the wrong kind of entry are the deletion commands' own cases.
TEST_F(DeletionTest, FailuresNameThePathAndTheReasonAndLeaveEverythingInPlace) {
    makeLink(outside, "/tmp/dirLink");
    const std::string longName = "/tmp/" + std::string(300, 'n');
    struct Case {
        DeleteFunction function;
        const char *path;
        std::string message;
    };
    const Case cases[] = {
        {pDeleteFile, longName.c_str(), "Cannot delete file '" + longName + "': File name too long"},
        {pDeleteFile, "", "Cannot delete file: no path given"},
        {pDeleteDirectory, "/tmp/dirLink",
         "Cannot delete directory '/tmp/dirLink': it is a symbolic link"},
        {pDeleteDirectory, "/tmp/none",
         "Cannot delete directory '/tmp/none': No such file or directory"},
        {pDeleteDirectory, "", "Cannot delete directory: no path given"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(deletion(c.function, c.path), c.message);
    }
    EXPECT_TRUE(present("/tmp/dirLink"));
}

TEST_F(DeletionTest, NeverLeavesTheDeviceRoot) {
    // The root's parent directory is the host's; ".." stops at the root.
    std::string victim = root + "/../victim-" + std::to_string(getpid());
    support::writeFile(victim, "host file");
    std::string escape = "/../../victim-" + std::to_string(getpid());
    EXPECT_EQ(deletion(pDeleteFile, escape.c_str()),
              "Cannot delete file '" + escape + "': No such file or directory");
    EXPECT_TRUE(support::exists(victim));
    ASSERT_EQ(unlink(victim.c_str()), 0);

    // A local user's link to "/": a trailing "/" follows it to the root.
    support::openToLocalUsers(hostPath("/tmp"));
    std::string top = hostPath("/tmp/top");
    ASSERT_EQ(support::runAsLocalUser([&] { return symlink("/", top.c_str()) == 0 ? 0 : 1; }), 0);

    for (const char *path : {"/", "//", "/.", "/..", "/tmp/..", "/../..", "/tmp/top/"}) {
        EXPECT_EQ(deletion(pDeleteDirectory, path),
                  std::string("Cannot delete directory '") + path +
                      "': it resolves to the device's root directory");
    }
    EXPECT_TRUE(present("/tmp"));
    EXPECT_TRUE(present("/home/root"));
}
