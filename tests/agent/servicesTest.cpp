// Device paths, waiting, credentials and the function table.
#include <signal.h>
#include <sys/time.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "agent/ixoagent.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// Puts the device root back after a test that changes it.
struct RootGuard {
    std::string saved = agent::deviceRoot();
    ~RootGuard() { agent::setDeviceRoot(saved); }
};

struct SleepGuard {
    agent::SleepFunction saved = agent::sleepFunction();
    ~SleepGuard() { agent::setSleepFunction(saved); }
};

void onAlarm(int) {}

double secondsSpentIn(void (*work)()) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(DevicePath, JoinsUnderTheRoot) {
    RootGuard guard;
    agent::setDeviceRoot("/tmp/r");
    EXPECT_EQ(agent::devicePath("/a/b"), "/tmp/r/a/b");
    EXPECT_EQ(agent::devicePath("a/b"), "/tmp/r/a/b");
    EXPECT_EQ(agent::devicePath("/a/./b//c/../d/"), "/tmp/r/a/b/d");
    EXPECT_EQ(agent::devicePath("/../../etc/passwd"), "/tmp/r/etc/passwd");
    EXPECT_EQ(agent::devicePath("a/../../b"), "/tmp/r/b");
    EXPECT_EQ(agent::devicePath("/"), "/tmp/r");

    agent::setDeviceRoot("/tmp/r//");
    EXPECT_EQ(agent::deviceRoot(), "/tmp/r");
    EXPECT_EQ(agent::devicePath("/a"), "/tmp/r/a");
}

TEST(DevicePath, RealDeviceKeepsPathsAsGiven) {
    RootGuard guard;
    for (const char *root : {"", "/"}) {
        agent::setDeviceRoot(root);
        EXPECT_EQ(agent::deviceRoot(), "");
        EXPECT_EQ(agent::devicePath("/a/b"), "/a/b");
        EXPECT_EQ(agent::devicePath("/a/../b"), "/a/../b");
        EXPECT_EQ(agent::devicePath("rel"), "rel");
    }
}

TEST(Sleep, GoesToTheSleepFunctionWhenSet) {
    support::clearSleeps();
    pSleep(3);
    pSleep(0);
    EXPECT_THAT(support::sleeps(), ElementsAre(3, 0));
}

TEST(Sleep, SleepsForRealAndReturnsEarlyOnASignal) {
    SleepGuard guard;
    agent::setSleepFunction(nullptr);
    EXPECT_LT(secondsSpentIn([] { pSleep(0); }), 0.5);
    EXPECT_GE(secondsSpentIn([] { pSleep(1); }), 0.95);

    struct sigaction action = {};
    action.sa_handler = onAlarm;  // no SA_RESTART: the wait is interrupted
    struct sigaction previous;
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    struct itimerval timer = {};
    timer.it_value.tv_usec = 200000;
    ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
    double spent = secondsSpentIn([] { pSleep(10); });
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_LT(spent, 5.0);
    EXPECT_GE(spent, 0.15);
}

TEST(Credentials, HandsOutTheAgentsTextsNeverNull) {
    agent::setCredentials("", "");
    char *user = nullptr;
    char *password = nullptr;
    getUserCredentials(&user, &password);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_STREQ(user, "");
    EXPECT_STREQ(password, "");

    agent::setCredentials("admin", "s3cret");
    getUserCredentials(&user, &password);
    EXPECT_STREQ(user, "admin");
    EXPECT_STREQ(password, "s3cret");
    getUserCredentials(nullptr, nullptr);
    agent::setCredentials("", "");
}

// The downloads themselves are tested against a real server in tests/downloads.
TEST(FunctionTable, DownloadEntriesRefuseMissingArgumentsWithAReason) {
    AgentFunctionTable *table = agent::functionTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->entry1, nullptr);
    EXPECT_EQ(table->entry2, nullptr);
    EXPECT_EQ(table->entry3, nullptr);
    EXPECT_EQ(table->entry5, nullptr);
    ASSERT_NE(table->downloadWithCredentials, nullptr);
    ASSERT_NE(table->downloadToFile, nullptr);

    support::clearLog();
    EXPECT_LT(table->downloadToFile(nullptr, "/tmp/a.bin", 0), 0);
    EXPECT_LT(table->downloadWithCredentials("https://server/b", "u", "p", nullptr, 0), 0);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("[1] Cannot download: no URL given"));
    EXPECT_THAT(log, HasSubstr("[1] Cannot download: no destination given"));
}
