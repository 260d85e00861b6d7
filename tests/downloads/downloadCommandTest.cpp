// "downloadFileFromServer" on the simulated device: MIME parts that came with
// the command, URLs fetched by the agent from the test HTTP server, and the
// lockout and write-filter brackets around both.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "agent/base64.h"
#include "agent/ixoagent.h"
#include "ixo/commands.h"
#include "ixo/guards.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/downloads/downloadTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using downloadtest::kPassword;
using downloadtest::kUser;
using downloadtest::patternBytes;

struct Part {
    std::string headers;
    std::string body;
};

using Parameters = std::vector<std::pair<std::string, std::string>>;

agent::CommandPtr downloadCommand(const Parameters &parameters, const std::vector<Part> &parts) {
    std::string xml = "<command name=\"downloadFileFromServer\"><parameters>";
    for (const auto &parameter : parameters) {
        xml += "<" + parameter.first + ">" + parameter.second + "</" + parameter.first + ">";
    }
    xml += "</parameters>";
    for (const Part &part : parts) {
        xml += "<mimePart><headers>" + part.headers + "</headers><body encoding=\"base64\">" +
               agent::detail::base64Encode(part.body) + "</body></mimePart>";
    }
    xml += "</command>";
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "download.xml", &error);
    EXPECT_TRUE(command) << error;
    return command;
}

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

    commandtest::Outcome run(const Parameters &parameters, const std::vector<Part> &parts = {}) {
        agent::CommandPtr command = downloadCommand(parameters, parts);
        if (!command) {
            return commandtest::Outcome{};
        }
        return commandtest::runHandler(handler, command.get());
    }

    // Runs the command in a child whose files may not grow beyond limit
    // bytes, with the log going to a pipe (no file limit there). Returns the
    // log; the child succeeds only when the handler reported "file_error".
    std::string runWithFileLimit(const Parameters &parameters, const std::vector<Part> &parts,
                                 rlim_t limit) {
        agent::CommandPtr command = downloadCommand(parameters, parts);
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            std::string error;
            struct rlimit files = {limit, limit};
            if (dup2(fds[1], STDERR_FILENO) < 0 || !agent::setLogFile("", &error) ||
                signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &files) != 0) {
                _exit(3);
            }
            commandtest::Outcome outcome = commandtest::runHandler(handler, command.get());
            _exit(outcome.result == -1 && outcome.errorClass == "file_error" && !outcome.hasMessage
                      ? 0
                      : 1);
        }
        close(fds[1]);
        std::string log;
        char buffer[4096];
        ssize_t count;
        while ((count = read(fds[0], buffer, sizeof buffer)) > 0) {
            log.append(buffer, static_cast<size_t>(count));
        }
        close(fds[0]);
        int status = -1;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << log;
        return log;
    }

    CommandHandlerFn handler = commandtest::handlerFor("downloadFileFromServer");
};

TEST_F(DownloadCommandTest, IsTheFirstEntryOfTheCommandTable) {
    ASSERT_NE(handler, nullptr);
    EXPECT_STREQ(getPlatformCommandHandlers()[0].name, "downloadFileFromServer");
}

TEST_F(DownloadCommandTest, MimePartIsWrittenWhole) {
    std::string body = patternBytes(2500);
    commandtest::Outcome outcome =
        run({{"source", "files/motd.txt"}, {"destination", "/home/root/motd.txt"}},
            {{"Content-Type: text/plain\nContent-Location: other.txt", "not this one"},
             {"Content-Type: text/plain\nContent-Location: files/motd.txt", body},
             {"Content-Location: files/motd.txt", "nor the second match"}});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_FALSE(outcome.hasResponse);
    EXPECT_EQ(support::readFile(hostPath("/home/root/motd.txt")), body);
    EXPECT_THAT(support::logText(), HasSubstr("[3] DownloadFileFromServer using MIME"));
}

TEST_F(DownloadCommandTest, MimeBodiesArriveWholeAcrossChunkBoundaries) {
    // The body is fetched 1024 bytes at a time: sizes around one chunk, the
    // three chunks of 2500 bytes (1024, 1024, 452), and bodies larger than
    // what is written at once.
    for (size_t size : {1u, 1023u, 1024u, 1025u, 2500u, 65536u, 66559u, 204807u}) {
        std::string body = patternBytes(size, static_cast<unsigned>(size));
        EXPECT_EQ(run({{"source", "p"}, {"destination", "/home/root/p.bin"}},
                      {{"Content-Location: p", body}})
                      .result,
                  0)
            << size;
        EXPECT_TRUE(support::readFile(hostPath("/home/root/p.bin")) == body) << size;
    }
}

TEST_F(DownloadCommandTest, WriteErrorIsAFileErrorWithTheCounts) {
    std::string log =
        runWithFileLimit({{"source", "big.bin"}, {"destination", "/home/root/big.bin"}},
                         {{"Content-Location: big.bin", patternBytes(2500)}}, 2100);
    EXPECT_THAT(log, HasSubstr("Tried to write '2500' bytes, actually wrote '2100' bytes"));
    EXPECT_THAT(log, HasSubstr("Error writing '"));
    EXPECT_THAT(log, HasSubstr("... (400 bytes)'"));
    EXPECT_THAT(log, HasSubstr("Error writing data to '/home/root/big.bin'"));
    EXPECT_THAT(log, HasSubstr("Error writing MIME contents to file '/home/root/big.bin'"));
    // What was written before the error stays; the server is told of the failure.
    EXPECT_TRUE(support::readFile(hostPath("/home/root/big.bin")) ==
                patternBytes(2500).substr(0, 2100));
}

TEST_F(DownloadCommandTest, EmptyBodyGivesAnEmptyFile) {
    EXPECT_EQ(run({{"source", "e"}, {"destination", "/home/root/empty"}},
                  {{"Content-Location: e", ""}})
                  .result,
              0);
    EXPECT_TRUE(support::exists(hostPath("/home/root/empty")));
    EXPECT_EQ(support::readFile(hostPath("/home/root/empty")), "");
    // A part that an agent handed over without any body counts as empty too.
    support::writeFile(hostPath("/home/root/was-full"), "old");
    agent::CommandPtr command = downloadCommand(
        {{"source", "n"}, {"destination", "/home/root/was-full"}}, {{"Content-Location: n", "x"}});
    ASSERT_TRUE(command);
    freeAllCharBuffers(command->mimeParts->body);
    command->mimeParts->body = nullptr;
    EXPECT_EQ(commandtest::runHandler(handler, command.get()).result, 0);
    EXPECT_EQ(support::readFile(hostPath("/home/root/was-full")), "");
}

TEST_F(DownloadCommandTest, SourceNamingNoPartWritesNothing) {
    support::writeFile(hostPath("/home/root/keep"), "old");
    commandtest::Outcome outcome =
        run({{"source", "files/a.txt"}, {"destination", "/home/root/keep"}},
            {{"Content-Type: text/plain", "no location"},
             {"Content-Location: files/a.txt.bak", "longer name"},
             {"Content-Location: files/A.txt", "other case"}});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_EQ(support::readFile(hostPath("/home/root/keep")), "old");
    EXPECT_EQ(run({{"source", "files/a.txt"}, {"destination", "/home/root/new"}},
                  {{"Content-Location: files/b.txt", "x"}})
                  .result,
              0);
    EXPECT_FALSE(support::exists(hostPath("/home/root/new")));
}

TEST_F(DownloadCommandTest, MimeSourceWithoutPartsIsInvalid) {
    commandtest::Outcome outcome = run({{"source", "files/a.txt"}, {"destination", "/etc/a"}});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_EQ(outcome.message, "Invalid Arguments");
    EXPECT_FALSE(support::exists(hostPath("/etc/a")));
    EXPECT_THAT(support::logText(), HasSubstr("[1] No mimeParts found"));
    // The filter was lifted for the destination and is restored.
    EXPECT_THAT(sim::recordedLines(), ElementsAre("sudo su -c \"rw\"", "sudo su -c \"ro\""));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

TEST_F(DownloadCommandTest, MissingParametersChangeNothing) {
    for (const Parameters &parameters :
         {Parameters{{"source", "a"}, {"lockoutUser", "true"}},
          Parameters{{"destination", "/etc/a"}, {"lockoutUser", "true"}}}) {
        commandtest::Outcome outcome = run(parameters, {{"Content-Location: a", "x"}});
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.errorClass, "invalid_arguments");
        EXPECT_EQ(outcome.message, "Invalid Arguments");
    }
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    EXPECT_THAT(sim::programLog(root), IsEmpty());
    EXPECT_FALSE(support::exists(hostPath("/etc/a")));
}

TEST_F(DownloadCommandTest, UnwritableDestinationIsAFileError) {
    commandtest::Outcome outcome = run({{"source", "a"}, {"destination", "/home/root/no/dir/a"}},
                                       {{"Content-Location: a", "x"}});
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "file_error");
    EXPECT_FALSE(outcome.hasMessage);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("[1] Error opening '/home/root/no/dir/a' for writing"));
    EXPECT_THAT(log, HasSubstr("[1] Error writing MIME contents to file '/home/root/no/dir/a'"));
}

TEST_F(DownloadCommandTest, OnlyLowerCaseHttpAndHttpsAreUrls) {
    // The server has a.bin; a part named like the URL shows which way was taken.
    std::string capitals = "HTTP://127.0.0.1:" + std::to_string(server.port) + "/files/a.bin";
    for (const std::string &source :
         {server.url("/files/a.bin"), capitals, std::string("Https://server/a.bin"),
          std::string("ftp://server/a.bin"), std::string("http:/server/a.bin")}) {
        support::clearLog();
        commandtest::Outcome outcome =
            run({{"source", source}, {"destination", "/home/root/a.bin"}},
                {{"Content-Location: " + source, "from the part"}});
        EXPECT_EQ(outcome.result, 0) << source;
        bool url = source.compare(0, 7, "http://") == 0;
        EXPECT_TRUE(support::readFile(hostPath("/home/root/a.bin")) ==
                    (url ? servedFile("a.bin") : "from the part"))
            << source;
        EXPECT_THAT(support::logText(), HasSubstr(url ? "DownloadFileFromServer using http"
                                                      : "DownloadFileFromServer using MIME"))
            << source;
    }
    // https:// is a URL as well: with no TLS server there it fails as a fetch.
    commandtest::Outcome secure =
        run({{"source", "https://127.0.0.1:" + std::to_string(server.port) + "/files/a.bin"},
             {"destination", "/home/root/s.bin"}},
            {{"Content-Location: https://127.0.0.1:" + std::to_string(server.port) + "/files/a.bin",
              "from the part"}});
    EXPECT_EQ(secure.errorClass, "file_error");
    EXPECT_EQ(secure.message, "File_error");
    EXPECT_FALSE(support::exists(hostPath("/home/root/s.bin")));
}

TEST_F(DownloadCommandTest, WriteFilterIsLiftedOnlyForTheRootFileSystem) {
    commandtest::Outcome onRoot =
        run({{"source", "m"}, {"destination", "/etc/motd"}, {"lockoutUser", "true"}},
            {{"Content-Location: m", "welcome\n"}});
    EXPECT_EQ(onRoot.result, 0);
    EXPECT_EQ(support::readFile(hostPath("/etc/motd")), "welcome\n");
    EXPECT_THAT(sim::recordedLines(), ElementsAre("sudo su -c \"rw\"", "sudo su -c \"ro\""));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
    // The lockout was begun, so ending it found one to end.
    EXPECT_THAT(support::logText(), Not(HasSubstr("User not currently locked out")));
    EXPECT_EQ(userLockedOut(), 0);

    sim::clearRecordedLines();
    EXPECT_EQ(run({{"source", server.url("/files/a.bin")}, {"destination", "/home/root/a.bin"}})
                  .result,
              0);
    EXPECT_EQ(run({{"source", "m"}, {"destination", "/home/root/motd"}},
                  {{"Content-Location: m", "x"}})
                  .result,
              0);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());

    // A failed fetch onto the root restores the filter as well.
    EXPECT_EQ(run({{"source", server.url("/files/absent")}, {"destination", "/etc/absent"}}).result,
              -1);
    EXPECT_THAT(sim::recordedLines(), ElementsAre("sudo su -c \"rw\"", "sudo su -c \"ro\""));
    EXPECT_EQ(sim::mountOptions(root, "/"), "ro,noatime");
}

TEST_F(DownloadCommandTest, UrlIsFetchedWithTheAgentsCredentials) {
    commandtest::Outcome outcome =
        run({{"source", server.url("/private/a.bin")}, {"destination", "/home/root/a.bin"}});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_TRUE(support::readFile(hostPath("/home/root/a.bin")) == servedFile("a.bin"));
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("[3] DownloadFileFromServer using http"));
    EXPECT_THAT(log, HasSubstr("[2] username 'bob'"));
    EXPECT_THAT(log, HasSubstr("[2] password set"));
}

TEST_F(DownloadCommandTest, FailedFetchesLeaveTheOldFileAlone) {
    support::writeFile(hostPath("/home/root/keep.bin"), "old content");
    agent::setCredentials(kUser, "not the password");
    for (const char *path : {"/private/a.bin", "/files/absent.bin", "/drop/a.bin"}) {
        for (const char *destination : {"/home/root/keep.bin", "/home/root/new.bin"}) {
            commandtest::Outcome outcome =
                run({{"source", server.url(path)}, {"destination", destination}});
            EXPECT_EQ(outcome.result, -1) << path;
            EXPECT_EQ(outcome.errorClass, "file_error") << path;
            EXPECT_EQ(outcome.message, "File_error") << path;
        }
    }
    EXPECT_EQ(support::readFile(hostPath("/home/root/keep.bin")), "old content");
    EXPECT_FALSE(support::exists(hostPath("/home/root/new.bin")));
    EXPECT_THAT(strays("/home/root", {"keep.bin", "system.conf"}), IsEmpty());
    EXPECT_THAT(support::logText(), HasSubstr("failed: HTTP status 401"));
}

TEST_F(DownloadCommandTest, ThePasswordNeverReachesTheLog) {
    run({{"source", server.url("/private/a.bin")}, {"destination", "/home/root/a.bin"}});
    run({{"source", server.url("/drop/a.bin")}, {"destination", "/home/root/b.bin"}});
    agent::setCredentials("", "");
    run({{"source", server.url("/private/a.bin")}, {"destination", "/home/root/c.bin"}});
    std::string log = support::logText();
    EXPECT_THAT(log, Not(HasSubstr(kPassword)));
    EXPECT_THAT(log, Not(HasSubstr("Pa55")));
    EXPECT_THAT(log, HasSubstr("[2] password set"));
    EXPECT_THAT(log, HasSubstr("[2] password not set"));
}

TEST_F(DownloadCommandTest, UrlWithoutTheAgentsTableFails) {
    initPlatformSpecificCommands(nullptr);
    commandtest::Outcome outcome =
        run({{"source", server.url("/files/a.bin")}, {"destination", "/home/root/a.bin"}});
    initPlatformSpecificCommands(agent::functionTable());
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "file_error");
    EXPECT_EQ(outcome.message, "File_error");
    EXPECT_FALSE(support::exists(hostPath("/home/root/a.bin")));
}

}  // namespace
