// pDeleteFile and pDeleteDirectory on the simulated device.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "agent/ixoagent.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;

namespace {

// What a deletion service handed back, freed as the library's caller does.
struct Outcome {
    bool failed = false;
    std::string errorClass;
    std::string message;
    bool hasMessage = false;
};

Outcome outcomeOf(char *errorClass, char *message) {
    Outcome outcome;
    outcome.failed = errorClass != nullptr;
    if (errorClass != nullptr) {
        outcome.errorClass = errorClass;
        std::free(errorClass);
    }
    outcome.hasMessage = message != nullptr;
    if (message != nullptr) {
        outcome.message = message;
        std::free(message);
    }
    return outcome;
}

Outcome deleteFile(const char *path) {
    char *message = nullptr;
    char *errorClass = pDeleteFile(path, &message);
    return outcomeOf(errorClass, message);
}

Outcome deleteDirectory(const char *path) {
    char *message = nullptr;
    char *errorClass = pDeleteDirectory(path, &message);
    return outcomeOf(errorClass, message);
}

class DeletionTest : public support::SimDeviceTest {
protected:
    void makeDir(const std::string &devicePath) {
        ASSERT_EQ(mkdir(hostPath(devicePath).c_str(), 0755), 0) << devicePath;
    }
    void makeFile(const std::string &devicePath) {
        support::writeFile(hostPath(devicePath), "data");
    }
    void makeLink(const std::string &target, const std::string &devicePath) {
        ASSERT_EQ(symlink(target.c_str(), hostPath(devicePath).c_str()), 0) << devicePath;
    }
    bool present(const std::string &devicePath) { return support::exists(hostPath(devicePath)); }
};

}  // namespace

TEST_F(DeletionTest, DeletesAFile) {
    makeFile("/home/root/old.log");
    char *message = nullptr;
    EXPECT_EQ(pDeleteFile("/home/root/old.log", &message), nullptr);
    EXPECT_EQ(message, nullptr);
    EXPECT_FALSE(present("/home/root/old.log"));
    EXPECT_TRUE(present("/home/root"));
}

TEST_F(DeletionTest, FileFailuresNameThePathAndTheReason) {
    makeDir("/tmp/adir");
    Outcome missing = deleteFile("/home/root/none.log");
    EXPECT_TRUE(missing.failed);
    EXPECT_EQ(missing.errorClass, "file_error");
    EXPECT_EQ(missing.message,
              "Cannot delete file '/home/root/none.log': No such file or directory");

    Outcome directory = deleteFile("/tmp/adir");
    EXPECT_EQ(directory.errorClass, "file_error");
    EXPECT_EQ(directory.message, "Cannot delete file '/tmp/adir': it is a directory");
    EXPECT_TRUE(present("/tmp/adir"));

    std::string longName = "/tmp/" + std::string(300, 'n');
    EXPECT_THAT(deleteFile(longName.c_str()).message, HasSubstr("File name too long"));

    EXPECT_EQ(deleteFile("").message, "Cannot delete file: no path given");
    EXPECT_EQ(deleteFile(nullptr).errorClass, "file_error");
    EXPECT_THAT(support::logText(), HasSubstr("[1] Cannot delete file '/tmp/adir'"));

    // The message output is optional.
    char *errorClass = pDeleteFile("/home/root/none.log", nullptr);
    ASSERT_NE(errorClass, nullptr);
    EXPECT_STREQ(errorClass, "file_error");
    std::free(errorClass);
}

TEST_F(DeletionTest, DeletesALinkNotItsTarget) {
    std::string outside = support::makeTempDir("outside-");
    support::writeFile(outside + "/precious", "keep");
    makeLink(outside + "/precious", "/tmp/fileLink");
    makeLink(outside, "/tmp/dirLink");

    EXPECT_FALSE(deleteFile("/tmp/fileLink").failed);
    EXPECT_FALSE(deleteFile("/tmp/dirLink").failed);
    EXPECT_FALSE(present("/tmp/fileLink"));
    EXPECT_FALSE(present("/tmp/dirLink"));
    EXPECT_EQ(support::readFile(outside + "/precious"), "keep");
    support::removeTree(outside);
}

TEST_F(DeletionTest, DeviceParentDirectoriesStayInsideTheRoot) {
    // The root's parent directory is the host's; ".." stops at the root.
    std::string victim = root + "/../victim-" + std::to_string(getpid());
    support::writeFile(victim, "host file");
    std::string escape = "/../../victim-" + std::to_string(getpid());
    Outcome outcome = deleteFile(escape.c_str());
    EXPECT_EQ(outcome.message, "Cannot delete file '" + escape + "': No such file or directory");
    EXPECT_TRUE(support::exists(victim));
    ASSERT_EQ(unlink(victim.c_str()), 0);
}

TEST_F(DeletionTest, DeletesATreeWithoutFollowingLinksOutOfIt) {
    std::string outside = support::makeTempDir("outside-");
    support::writeFile(outside + "/precious", "keep");
    makeDir("/home/root/data");
    makeDir("/home/root/data/a");
    makeDir("/home/root/data/a/b");
    makeDir("/home/root/data/empty");
    makeFile("/home/root/data/top.txt");
    makeFile("/home/root/data/a/b/deep.txt");
    makeFile("/home/root/data/a/.hidden");
    makeLink(outside, "/home/root/data/a/linkToDir");
    makeLink(outside + "/precious", "/home/root/data/linkToFile");
    makeLink("/nowhere", "/home/root/data/dangling");
    std::string deep = "/home/root/data";
    for (int level = 0; level < 40; ++level) {
        deep += "/d";
        makeDir(deep);
    }

    char *message = nullptr;
    EXPECT_EQ(pDeleteDirectory("/home/root/data/", &message), nullptr);
    EXPECT_EQ(message, nullptr);
    EXPECT_FALSE(present("/home/root/data"));
    EXPECT_TRUE(present("/home/root"));
    EXPECT_EQ(support::readFile(outside + "/precious"), "keep");
    support::removeTree(outside);
}

TEST_F(DeletionTest, DirectoryFailuresLeaveEverythingInPlace) {
    std::string outside = support::makeTempDir("outside-");
    support::writeFile(outside + "/precious", "keep");
    makeFile("/tmp/plain");
    makeLink(outside, "/tmp/dirLink");

    Outcome file = deleteDirectory("/tmp/plain");
    EXPECT_EQ(file.errorClass, "file_error");
    EXPECT_EQ(file.message, "Cannot delete directory '/tmp/plain': it is a regular file");
    Outcome link = deleteDirectory("/tmp/dirLink");
    EXPECT_EQ(link.message, "Cannot delete directory '/tmp/dirLink': it is a symbolic link");
    Outcome missing = deleteDirectory("/tmp/none");
    EXPECT_EQ(missing.message, "Cannot delete directory '/tmp/none': No such file or directory");
    EXPECT_EQ(deleteDirectory("").message, "Cannot delete directory: no path given");
    EXPECT_EQ(deleteDirectory(nullptr).errorClass, "file_error");

    EXPECT_TRUE(present("/tmp/plain"));
    EXPECT_TRUE(present("/tmp/dirLink"));
    EXPECT_EQ(support::readFile(outside + "/precious"), "keep");
    support::removeTree(outside);
}

TEST_F(DeletionTest, NeverDeletesTheDeviceRoot) {
    for (const char *path : {"/", "//", "/.", "/..", "/tmp/..", "/../.."}) {
        SCOPED_TRACE(path);
        Outcome outcome = deleteDirectory(path);
        EXPECT_EQ(outcome.errorClass, "file_error");
        EXPECT_EQ(outcome.message, std::string("Cannot delete directory '") + path +
                                       "': it resolves to the device's root directory");
    }
    EXPECT_TRUE(present("/tmp"));
    EXPECT_TRUE(present("/home/root"));
}
