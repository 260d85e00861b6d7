// What a raw wait status reported by executeOnDevice or queryUser means, for
// the statuses processes end with and for values no ended process gives.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "agent/waitStatus.h"

namespace {

TEST(WaitStatus, ExplainsHowTheProcessEndedAndTakesNoOtherValueForOne) {
    const std::optional<int> none;
    const struct {
        long long status;
        std::optional<int> exitStatus, signal;
        std::string explanation;
    } cases[] = {
        {W_EXITCODE(0, 0), 0, none, "exit status 0"},
        {W_EXITCODE(255, 0), 255, none, "exit status 255"},
        {SIGTERM, none, SIGTERM, "killed by signal 15"},
        {SIGSEGV | WCOREFLAG, none, SIGSEGV, "killed by signal 11, core dumped"},
        {-1, none, none, "the shell could not be started"},
        {-2, none, none, "not a wait status"},
        {W_STOPCODE(SIGSTOP), none, none, "not a wait status"},
        {0xffff, none, none, "not a wait status"},  // continued
        {0x10000, none, none, "not a wait status"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.status);
        agent::WaitStatus meaning = agent::decodeWaitStatus(c.status);
        EXPECT_EQ(meaning.exitStatus, c.exitStatus);
        EXPECT_EQ(meaning.signal, c.signal);
        EXPECT_EQ(agent::explainWaitStatus(c.status), c.explanation);
    }
}

}  // namespace
