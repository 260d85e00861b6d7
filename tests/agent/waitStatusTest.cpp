// What a raw wait status reported by executeOnDevice or queryUser means, for
// the statuses real processes end with and for values no ended process gives.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "agent/waitStatus.h"

namespace {

// The status waitpid gives for a child that does work.
int statusOfChild(const std::function<void()> &work) {
    pid_t child = fork();
    if (child == 0) {
        work();
        _exit(120);
    }
    int status = -1;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return status;
}

TEST(WaitStatus, ExplainsHowTheProcessEnded) {
    const struct {
        std::function<void()> work;
        std::optional<int> exitStatus, signal;
        std::string explanation;
    } cases[] = {
        {[] { _exit(0); }, 0, std::nullopt, "exit status 0"},
        {[] { _exit(3); }, 3, std::nullopt, "exit status 3"},
        {[] { _exit(255); }, 255, std::nullopt, "exit status 255"},
        {[] { raise(SIGKILL); }, std::nullopt, SIGKILL, "killed by signal 9"},
        {[] { raise(SIGTERM); }, std::nullopt, SIGTERM, "killed by signal 15"},
    };
    for (const auto &c : cases) {
        int status = statusOfChild(c.work);
        SCOPED_TRACE(c.explanation + " from status " + std::to_string(status));
        agent::WaitStatus meaning = agent::decodeWaitStatus(status);
        EXPECT_EQ(meaning.exitStatus, c.exitStatus);
        EXPECT_EQ(meaning.signal, c.signal);
        EXPECT_EQ(agent::explainWaitStatus(status), c.explanation);
    }
}

TEST(WaitStatus, ValuesNoEndedProcessGivesAreNotTakenForOne) {
    const struct {
        long long status;
        std::string explanation;
    } cases[] = {
        {-1, "the shell could not be started"},
        {-2, "not a wait status"},
        {0x137f, "not a wait status"},  // stopped by SIGSTOP
        {0xffff, "not a wait status"},  // continued
        {0x10000, "not a wait status"},
        {0x8b, "killed by signal 11, core dumped"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(agent::explainWaitStatus(c.status), c.explanation) << c.status;
    }
    agent::WaitStatus none = agent::decodeWaitStatus(0x137f);
    EXPECT_FALSE(none.exitStatus || none.signal);
}

}  // namespace
