// "downloadFileFromServer" on the simulated device: MIME parts that came with
// the command, URLs fetched from the test HTTP server, the write-filter bracket.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>

#include "host/host.h"
#include "ixo/commands.h"
#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/support/downloadTestSupport.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {
// While set, array allocations that may fail do, as on a device out of memory.
bool failNothrowArrays = false;
}  // namespace

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    if (failNothrowArrays) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

namespace {

using commandtest::Outcome;
using downloadtest::kPassword;
using downloadtest::kUser;
using downloadtest::patternBytes;
using downloadtest::runDownload;

const Outcome kFileError(-1, "file_error", "File_error");
const Outcome kWriteFailed(-1, "file_error");
const Outcome kInvalid(-1, "invalid_arguments", "Invalid Arguments");
const char *const kFilterBracket[] = {"sudo su -c \"rw\"", "sudo su -c \"ro\""};

class DownloadCommandTest : public downloadtest::ServedDeviceTest {
protected:
    void SetUp() override {
        downloadtest::ServedDeviceTest::SetUp();
        initPlatformSpecificCommands(agent::functionTable());
        agent::setCredentials(kUser, kPassword);
    }
    void TearDown() override {
        agent::setCredentials("", "");
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        downloadtest::ServedDeviceTest::TearDown();
    }

    // The body as the one MIME part, named by the source.
    Outcome putPart(const std::string &destination, const std::string &body) {
        return runDownload({{"source", "p"}, {"destination", destination}},
                           {{"Content-Location: p", body}});
    }
    Outcome fetch(const std::string &path, const std::string &destination) {
        return runDownload({{"source", server.url(path)}, {"destination", destination}});
    }
};

TEST_F(DownloadCommandTest, TheMimePartNamedByTheSourceIsWrittenWholeAcrossChunkBoundaries) {
    // Read 1024 bytes at a time: sizes around one chunk, 2500 (1024, 1024,
    // 452), and more than is written at once.
    for (size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2500u, 65536u, 66559u, 204807u}) {
        std::string body = patternBytes(size, static_cast<unsigned>(size));
        support::writeFile(hostPath("/home/root/motd.txt"), "old");
        Outcome outcome =
            runDownload({{"source", "files/motd.txt"}, {"destination", "/home/root/motd.txt"}},
                        {{"Content-Type: text/plain\nContent-Location: other.txt", "not this one"},
                         {"Content-Type: text/plain\nContent-Location: files/motd.txt", body},
                         {"Content-Location: files/motd.txt", "nor the second match"}});
        EXPECT_EQ(outcome, Outcome(0)) << size;
        EXPECT_TRUE(deviceFile("/home/root/motd.txt") == body) << size;
    }

    // No part with exactly that name: the file the server asked for is not
    // there, and nothing is written.
    support::writeFile(hostPath("/home/root/keep"), "old");
    Outcome outcome = runDownload({{"source", "files/a.txt"}, {"destination", "/home/root/keep"}},
                                  {{"Content-Type: text/plain", "no location"},
                                   {"Content-Location: files/a.txt.bak", "longer name"},
                                   {"Content-Location: files/A.txt", "other case"}});
    EXPECT_EQ(outcome, Outcome(-1, "file_error",
                               "No part of the command has Content-Location 'files/a.txt'"));
    EXPECT_EQ(deviceFile("/home/root/keep"), "old");
    EXPECT_THAT(entries("/home/root"), ElementsAre("keep", "motd.txt", "system.conf"));
}

TEST_F(DownloadCommandTest, AFailedWriteLeavesTheOldFileWholeAndLargeFilesAreReplaced) {
    support::writeFile(hostPath("/home/root/big.bin"), "old content");
    // Written by a process whose files may not grow beyond 2100 bytes.
    // Should the limit not take, the write succeeds and the child exits with 1.
    auto limitedWrite = [&] {
        struct rlimit files = {2100, 2100};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &files);
        std::exit(putPart("/home/root/big.bin", patternBytes(2500)) == kWriteFailed ? 0 : 1);
    };
    EXPECT_EXIT(limitedWrite(), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(deviceFile("/home/root/big.bin") == "old content");
    EXPECT_THAT(entries("/home/root"), ElementsAre("big.bin", "system.conf"));
    // A destination that cannot be opened at all.
    EXPECT_EQ(putPart("/home/root/no/dir/a", "x"), kWriteFailed);
    // No memory for the write buffer.
    failNothrowArrays = true;
    const Outcome starved = putPart("/home/root/big.bin", "new content");
    failNothrowArrays = false;
    EXPECT_EQ(starved, kWriteFailed);
    EXPECT_TRUE(deviceFile("/home/root/big.bin") == "old content");
    // A file beyond 2 GiB (sparse) is replaced, in the 32-bit build too.
    support::writeFile(hostPath("/home/root/big.bin"), "old image");
    ASSERT_EQ(::truncate64(hostPath("/home/root/big.bin").c_str(), 3LL << 30), 0);
    EXPECT_EQ(putPart("/home/root/big.bin", "new image"), Outcome(0));
    // Size first: a file left at 3 GiB must fail here, not be read whole.
    ASSERT_EQ(std::filesystem::file_size(hostPath("/home/root/big.bin")), 9u);
    EXPECT_EQ(deviceFile("/home/root/big.bin"), "new image");
}

// In the world-writable /temp another user may have put anything at the
// destination's name beforehand.
TEST_F(DownloadCommandTest, PlantedLinkOrFileAtTheDestinationIsReplacedNotWrittenThrough) {
    const std::string outside = support::makeTempDir("outside-") + "/precious";
    support::writeFile(outside, "precious");
    const std::string destination = "/temp/part.bin";
    const std::string host = hostPath(destination);
    support::openToLocalUsers(hostPath("/temp"));
    struct Case {
        const char *what;
        std::function<int()> plant;
        bool byLocalUser;
        mode_t mode;
    };
    // A file of that mode, whatever the umask.
    auto file = [&host](mode_t mode) {
        return [&host, mode] {
            int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
            return fd < 0 || fchmod(fd, mode) != 0 ? 1 : close(fd);
        };
    };
    const Case cases[] = {
        {"a link to a file outside", [&] { return symlink(outside.c_str(), host.c_str()); }, true,
         0644},
        {"a file open to everyone", file(0666), true, 0644},
        // Root's own file keeps its mode.
        {"root's private file", file(0600), false, 0600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        unlink(host.c_str());
        // The local user's wait status, or root's own result: 0 when planted.
        ASSERT_EQ(c.byLocalUser ? support::runAsLocalUser(c.plant) : c.plant(), 0);
        EXPECT_EQ(putPart(destination, "the part"), Outcome(0));
        struct stat info;
        ASSERT_EQ(lstat(host.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_EQ(deviceFile(destination), "the part");
    }
    EXPECT_EQ(support::readFile(outside), "precious");
    EXPECT_THAT(entries("/temp"), ElementsAre("part.bin"));
}

TEST_F(DownloadCommandTest, WriteFilterIsLiftedOnlyForTheRootFileSystem) {
    Outcome onRoot =
        runDownload({{"source", "p"}, {"destination", "/etc/motd"}, {"lockoutUser", "true"}},
                    {{"Content-Location: p", "welcome\n"}});
    EXPECT_EQ(onRoot, Outcome(0));
    EXPECT_EQ(deviceFile("/etc/motd"), "welcome\n");
    EXPECT_THAT(sim::recordedLines(), ElementsAreArray(kFilterBracket));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    // The lockout was begun, so ending it found one to end.
    EXPECT_THAT(support::logText(), Not(HasSubstr("User not currently locked out")));
    EXPECT_EQ(userLockedOut(), 0);

    sim::clearRecordedLines();
    EXPECT_EQ(fetch("/files/a.bin", "/home/root/a.bin"), Outcome(0));
    EXPECT_EQ(putPart("/home/root/motd", "x"), Outcome(0));
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    // A source that is no URL, and the command has no MIME parts at all.
    EXPECT_EQ(runDownload({{"source", "files/a.txt"}, {"destination", "/home/root/a"}}), kInvalid);
}

TEST_F(DownloadCommandTest, ALinkPlantedInTmpNeverLeadsADownloadOutOfTheDevice) {
    // Another user points a directory of the device's /tmp at a directory of
    // this machine. Read on the device, the link names a path under its root,
    // where nothing is: neither the library's write nor the agent's fetch
    // may land in the host directory.
    std::string outside = support::makeTempDir("outside-");
    support::openToLocalUsers(hostPath("/tmp"));
    std::string planted = hostPath("/tmp/planted");
    ASSERT_EQ(support::runAsLocalUser(
                  [&] { return symlink(outside.c_str(), planted.c_str()) == 0 ? 0 : 1; }),
              0);
    EXPECT_EQ(putPart("/tmp/planted/part.bin", "x").result, -1);
    EXPECT_EQ(fetch("/files/a.bin", "/tmp/planted/a.bin").result, -1);
    EXPECT_TRUE(std::filesystem::is_empty(outside));
    support::removeTree(outside);
}

// Only lower-case http:// and https:// are URLs; a part named like the source
// shows which way was taken.
TEST_F(DownloadCommandTest, OnlyLowerCaseUrlsAreFetchedWithTheAgentsCredentialsAndAFailureLeavesTheOldFile) {
    std::string capitals = "HTTP://127.0.0.1:" + std::to_string(server.port) + "/files/a.bin";
    for (const std::string &source :
         {server.url("/private/a.bin"), capitals, std::string("Https://server/a.bin"),
          std::string("ftp://server/a.bin"), std::string("http:/server/a.bin")}) {
        SCOPED_TRACE(source);
        Outcome outcome = runDownload({{"source", source}, {"destination", "/home/root/a.bin"}},
                                      {{"Content-Location: " + source, "from the part"}});
        EXPECT_EQ(outcome, Outcome(0));
        bool url = source.compare(0, 7, "http://") == 0;
        EXPECT_TRUE(deviceFile("/home/root/a.bin") ==
                    (url ? servedFile("a.bin") : "from the part"));
    }
    EXPECT_THAT(support::logText(), Not(HasSubstr("Pa55")));
    support::writeFile(hostPath("/home/root/a.bin"), "old content");
    agent::setCredentials("", "");
    EXPECT_EQ(fetch("/private/a.bin", "/home/root/a.bin"), kFileError);
    // https:// is a URL as well: with no TLS server there it fails as a fetch.
    EXPECT_EQ(runDownload({{"source", "https://127.0.0.1:" + std::to_string(server.port) + "/files/a.bin"},
                           {"destination", "/home/root/a.bin"}}),
              kFileError);
    // Without the agent's function table there is no way to fetch.
    initPlatformSpecificCommands(nullptr);
    Outcome outcome = fetch("/files/a.bin", "/home/root/b.bin");
    initPlatformSpecificCommands(agent::functionTable());
    EXPECT_EQ(outcome, kFileError);
    EXPECT_EQ(deviceFile("/home/root/a.bin"), "old content");
    EXPECT_THAT(entries("/home/root"), ElementsAre("a.bin", "system.conf"));
}

}  // namespace
