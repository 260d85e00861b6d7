// pDeleteFile and pDeleteDirectory on the simulated device.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

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

// A missing file and the wrong kind of entry are the deletion commands' own
// cases. Neither ".." nor a local user's link to "/" leads out of the device's
// root or to the root itself.
TEST_F(DeletionTest, FailuresNameThePathAndTheReasonAndNeverLeaveTheDeviceRoot) {
    makeLink(outside, "/tmp/dirLink");
    // The root's parent directory is the host's; ".." stops at the root.
    const std::string victim = root + "/../victim-" + std::to_string(getpid());
    support::writeFile(victim, "host file");
    const std::string escape = "/../../victim-" + std::to_string(getpid());
    // A trailing "/" follows the link to the root.
    support::openToLocalUsers(hostPath("/tmp"));
    std::string top = hostPath("/tmp/top");
    ASSERT_EQ(support::runAsLocalUser([&] { return symlink("/", top.c_str()) == 0 ? 0 : 1; }), 0);
    const std::string longName = "/tmp/" + std::string(300, 'n');
    std::vector<std::tuple<DeleteFunction, std::string, std::string>> cases = {
        {pDeleteFile, longName, "Cannot delete file '" + longName + "': File name too long"},
        {pDeleteFile, "", "Cannot delete file: no path given"},
        {pDeleteFile, escape, "Cannot delete file '" + escape + "': No such file or directory"},
        {pDeleteDirectory, "/tmp/dirLink",
         "Cannot delete directory '/tmp/dirLink': it is a symbolic link"},
        {pDeleteDirectory, "/tmp/none",
         "Cannot delete directory '/tmp/none': No such file or directory"},
        {pDeleteDirectory, "", "Cannot delete directory: no path given"},
    };
    for (std::string path : {"/", "//", "/.", "/..", "/tmp/..", "/../..", "/tmp/top/"}) {
        cases.emplace_back(pDeleteDirectory, path,
                           "Cannot delete directory '" + path +
                               "': it resolves to the device's root directory");
    }
    for (const auto &[function, path, message] : cases) {
        EXPECT_EQ(deletion(function, path.c_str()), message);
    }
    EXPECT_TRUE(support::exists(victim));
    ASSERT_EQ(unlink(victim.c_str()), 0);
    EXPECT_TRUE(present("/tmp/dirLink"));
    EXPECT_TRUE(present("/home/root"));
}
