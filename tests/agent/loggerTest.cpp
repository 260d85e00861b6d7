// The agent's log: line format, level threshold, destinations.
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "agent/ixoagent.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

namespace {

// Puts the level and the destination back after a test.
struct LogGuard {
    int level = agent::logLevel();
    std::string file = agent::logFile();
    ~LogGuard() {
        agent::setLogLevel(level);
        std::string error;
        EXPECT_TRUE(agent::setLogFile(file, &error)) << error;
    }
};

}  // namespace

TEST(Logger, WritesOneLineWithTimeModuleFunctionLineAndLevel) {
    support::clearLog();
    ixoLogger("PlatformCommands", "deleteFile", 57, 1, "Cannot delete '%s' (%d)", "/x", 42);
    EXPECT_THAT(
        support::logText(),
        MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} "
                     "PlatformCommands deleteFile:57 \\[1\\] Cannot delete '/x' \\(42\\)\n"));
}

TEST(Logger, KeepsAMessageOnOneLine) {
    support::clearLog();
    ixoLogger("M", "f", 1, 2, "first\nsecond\r\nthird%s", "\n");
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("M f:1 [2] first second  third \n"));
    EXPECT_EQ(log.find('\n'), log.size() - 1);
    EXPECT_EQ(log.find('\r'), std::string::npos);
}

TEST(Logger, RawDeviceBytesBecomeVisibleText) {
    support::clearLog();
    // The asset services log serial-number bytes with %c; a NUL among them
    // must not end up in the file.
    ixoLogger("M", "f", 1, 2, "serial %c%c%c end\ttab", 'A', '\0', 0x1b);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("M f:1 [2] serial A?? end\ttab\n"));
    EXPECT_EQ(log.find('\0'), std::string::npos);
}

TEST(Logger, WritesLongMessagesWhole) {
    support::clearLog();
    std::string big(20000, 'x');
    ixoLogger("M", "f", 1, 3, "<%s>", big.c_str());
    EXPECT_THAT(support::logText(), HasSubstr("[3] <" + big + ">\n"));
}

TEST(Logger, CopesWithMissingNames) {
    support::clearLog();
    ixoLogger(nullptr, nullptr, 0, 1, nullptr);
    EXPECT_THAT(support::logText(), MatchesRegex(".* - -:0 \\[1\\] \n"));
}

TEST(Logger, DropsMessagesAboveTheLevel) {
    LogGuard guard;
    agent::setLogLevel(2);
    support::clearLog();
    ixoLogger("M", "f", 1, 3, "progress");
    ixoLogger("M", "f", 2, 2, "notice");
    ixoLogger("M", "f", 3, 1, "error");
    ixoLogger("M", "f", 4, 4, "trace");
    std::string log = support::logText();
    EXPECT_THAT(log, Not(HasSubstr("progress")));
    EXPECT_THAT(log, Not(HasSubstr("trace")));
    EXPECT_THAT(log, HasSubstr("[2] notice"));
    EXPECT_THAT(log, HasSubstr("[1] error"));
}

TEST(Logger, AppendsToTheChosenFile) {
    LogGuard guard;
    std::string dir = support::makeTempDir("log-");
    support::writeFile(dir + "/agent.log", "earlier line\n");
    std::string error;
    ASSERT_TRUE(agent::setLogFile(dir + "/agent.log", &error)) << error;
    EXPECT_EQ(agent::logFile(), dir + "/agent.log");
    support::clearLog();
    ixoLogger("M", "f", 1, 1, "to the file");
    // Flushed at once: visible before the file is closed.
    std::string content = support::readFile(dir + "/agent.log");
    EXPECT_THAT(content, MatchesRegex("earlier line\n.* M f:1 \\[1\\] to the file\n"));
    EXPECT_THAT(support::logText(), Not(HasSubstr("to the file")));
    support::removeTree(dir);
}

TEST(Logger, KeepsTheDestinationWhenAFileCannotBeOpened) {
    LogGuard guard;
    std::string error;
    EXPECT_FALSE(agent::setLogFile("/nonexistent-dir/agent.log", &error));
    EXPECT_EQ(error,
              "Cannot open log file '/nonexistent-dir/agent.log': No such file or directory");
    EXPECT_EQ(agent::logFile(), guard.file);
    support::clearLog();
    ixoLogger("M", "f", 1, 1, "still here");
    EXPECT_THAT(support::logText(), HasSubstr("still here"));
}

TEST(Logger, WritesToStandardErrorWithoutAFile) {
    LogGuard guard;
    std::string dir = support::makeTempDir("stderr-");
    std::string captured = dir + "/stderr";
    std::string error;
    ASSERT_TRUE(agent::setLogFile("", &error)) << error;
    EXPECT_EQ(agent::logFile(), "");

    fflush(stderr);
    int saved = dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    int capture = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(capture, 0);
    ASSERT_EQ(dup2(capture, STDERR_FILENO), STDERR_FILENO);
    close(capture);
    ixoLogger("M", "f", 9, 1, "on stderr");
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);

    EXPECT_THAT(support::readFile(captured), MatchesRegex(".* M f:9 \\[1\\] on stderr\n"));
    support::removeTree(dir);
}
