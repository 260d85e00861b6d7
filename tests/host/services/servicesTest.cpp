// The agent's services: device paths, waiting, credentials, and what every
// service does without its arguments.
#include <signal.h>
#include <sys/time.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

#include "host/host.h"
#include "ixo/platform_data.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;

namespace {

volatile sig_atomic_t alarms = 0;
void onAlarm(int) { alarms = alarms + 1; }

// A service's error class and message were both handed back, then freed.
bool deletionFailed(char *(*function)(const char *, char **), const char *path, bool wantMessage) {
    char *message = nullptr;
    char *errorClass = function(path, wantMessage ? &message : nullptr);
    bool failed = errorClass != nullptr && (message != nullptr) == wantMessage;
    std::free(errorClass);
    std::free(message);
    return failed;
}

}  // namespace

// Resolution inside the root is the library's; the root itself is the host's.
TEST(DevicePath, JoinsUnderTheRootOrKeepsPathsOnTheRealDevice) {
    const std::string saved = agent::deviceRoot();
    const std::pair<const char *, const char *> cases[] = {
        {"/tmp/r//", "/tmp/r/a/b"}, {"/tmp/r", "/tmp/r/a/b"}, {"", "/../a/b"}, {"/", "/../a/b"}};
    for (const auto &[root, host] : cases) {
        agent::setDeviceRoot(root);
        EXPECT_EQ(agent::devicePath("/../a/b"), host) << root;
    }
    agent::setDeviceRoot(saved);
}

// Goes to the sleep function when one is set. Without one it sleeps whole
// seconds; still asleep when the alarm rings and woken by it (a sleep that did
// not return early would outlast the suite's time limit).
TEST(Sleep, GoesToTheSleepFunctionOrSleepsForRealAndReturnsEarlyOnASignal) {
    support::clearSleeps();
    pSleep(3);
    pSleep(0);
    EXPECT_THAT(support::sleeps(), ElementsAre(3, 0));
    struct Restore {
        agent::SleepFunction saved = agent::sleepFunction();
        ~Restore() { agent::setSleepFunction(saved); }
    } restore;
    agent::setSleepFunction(nullptr);
    auto start = std::chrono::steady_clock::now();
    pSleep(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
    struct sigaction action = {};
    action.sa_handler = onAlarm;  // no SA_RESTART: the wait is interrupted
    struct sigaction previous;
    ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
    struct itimerval timer = {};
    timer.it_value.tv_usec = 200000;
    alarms = 0;
    ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
    pSleep(3600);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(alarms, 1);
}

// Every service the library may call with a null argument refuses it, or
// does nothing, and never crashes.
TEST(NullArguments, EveryServiceRefusesThem) {
    agent::CommandPtr command = agent::parseCommand(
        "<command name='c'><parameters><a>1</a></parameters></command>", "c.xml", nullptr);
    ASSERT_TRUE(command);
    IxoXmlNode *node = command->parameters;
    agent::CharBufferPtr buffer(createCharBuffer());
    IxoCharBuffer *b = buffer.get();
    ASSERT_EQ(addDataToCharBuffer(b, "keep", 4), 0);
    char out[8] = "x";
    EXPECT_EQ(getSubNodeByName(nullptr, "a"), nullptr);
    EXPECT_EQ(getSubNodeByName(node, nullptr), nullptr);
    EXPECT_EQ(getSubNodeContentByName(nullptr, "a"), nullptr);
    EXPECT_EQ(getSubNodeContentByName(node, nullptr), nullptr);
    EXPECT_EQ(getCharBufferFromCommandStruct(nullptr), nullptr);
    EXPECT_EQ(addDataToCharBuffer(nullptr, "x", 1), -1);
    EXPECT_EQ(addDataToCharBuffer(b, nullptr, 3), -1);
    EXPECT_EQ(getDataFromCharBuffer(nullptr, out, 4, 0), -1);
    EXPECT_EQ(getDataFromCharBuffer(b, nullptr, 4, 0), -1);
    EXPECT_EQ(getTotalBufferLength(nullptr), -1);
    EXPECT_EQ(charBufferToChar(nullptr), nullptr);
    freeAllCharBuffers(nullptr);
    removeNewLines(nullptr);
    EXPECT_EQ(addOpeningTag(nullptr, "a"), -1);
    EXPECT_EQ(addOpeningTag(b, nullptr), -1);
    EXPECT_EQ(addClosingTag(nullptr, "a"), -1);
    EXPECT_EQ(addClosingTag(b, nullptr), -1);
    EXPECT_EQ(addIntegerElement(nullptr, "a", 1), -1);
    EXPECT_EQ(addIntegerElement(b, nullptr, 1), -1);
    EXPECT_EQ(addCharBufferElement(nullptr, "a", b), -1);
    EXPECT_EQ(addCharBufferElement(b, nullptr, b), -1);
    EXPECT_EQ(agent::charBufferString(b), "keep");
    EXPECT_EQ(httpPayloadGetHeader(nullptr, "a"), nullptr);
    EXPECT_EQ(httpPayloadGetHeader("a: b", nullptr), nullptr);
    EXPECT_EQ(addNetworkInterface(nullptr), nullptr);
    EXPECT_EQ(addWriteableMedia(nullptr), nullptr);
    EXPECT_EQ(addDnsServer(nullptr), nullptr);
    EXPECT_EQ(addDnsSuffix(nullptr), nullptr);
    EXPECT_EQ(addWinsServer(nullptr), nullptr);
    EXPECT_NE(freePlatformData(nullptr), 0);
    EXPECT_EQ(parseConfigurationCommand(nullptr), nullptr);
    EXPECT_EQ(reg_open(nullptr), 0);
    EXPECT_EQ(ReadDmiString("bios-version", nullptr, 8), -1);
    EXPECT_EQ(ReadDmiString(nullptr, out, 8), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(convertSecurityKey(nullptr), 0u);
    for (auto function : {pDeleteFile, pDeleteDirectory}) {
        EXPECT_TRUE(deletionFailed(function, nullptr, true));
        EXPECT_TRUE(deletionFailed(function, "/none", false));
    }
    getUserCredentials(nullptr, nullptr);
    // Credentials not set are handed out as empty texts, not null.
    char *user = nullptr;
    char *password = nullptr;
    getUserCredentials(&user, &password);
    EXPECT_STREQ(user, "");
    EXPECT_STREQ(password, "");
}
