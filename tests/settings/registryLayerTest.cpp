// The registry layer over the agent's primitives: the shared temporary
// registry handle, the caller's buffer guard and the write checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ixo/registry.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

size_t occurrences(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class RegistryLayerTest : public support::SimDeviceTest {};

TEST_F(RegistryLayerTest, TemporaryRegistryHasOneSharedHandle) {
    int first = p_openReg("/tmp/system.conf");
    ASSERT_NE(first, 0);
    int second = p_openReg("/tmp/system.conf");
    EXPECT_EQ(second, first);
    std::string log = support::logText();
    EXPECT_EQ(occurrences(log, "Warning attempt to re-open temporary registry"), 1u);
    EXPECT_EQ(occurrences(log, "About to open registry '/tmp/system.conf'"), 1u);

    // Any close of it ends it for everyone: the next open is a new one.
    EXPECT_EQ(p_regClose(second), 0);
    support::clearLog();
    int third = p_openReg("/tmp/system.conf");
    EXPECT_NE(third, 0);
    EXPECT_NE(third, first);
    EXPECT_THAT(support::logText(), Not(HasSubstr("re-open")));
    EXPECT_EQ(p_CloseAction(third), 0);
    int fourth = p_openReg("/tmp/system.conf");
    EXPECT_THAT(support::logText(), Not(HasSubstr("re-open")));
    EXPECT_EQ(p_CloseNoAction(fourth), 0);
}

TEST_F(RegistryLayerTest, OtherRegistriesOpenAfreshAndLeaveTheSharedHandleAlone) {
    int temporary = p_openReg("/tmp/system.conf");
    int first = p_openReg("/home/root/system.conf");
    int second = p_openReg("/home/root/system.conf");
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(p_CloseNoAction(first), 0);
    support::clearLog();
    EXPECT_EQ(p_openReg("/tmp/system.conf"), temporary);
    EXPECT_THAT(support::logText(), HasSubstr("Warning attempt to re-open temporary registry"));
    p_CloseNoAction(second);
    p_CloseNoAction(temporary);
}

TEST_F(RegistryLayerTest, FailedOpenOfTheTemporaryRegistryIsRetried) {
    std::string registry = hostPath("/tmp/system.conf");
    support::writeFile(registry, "not a registry line\n");
    EXPECT_EQ(p_openReg("/tmp/system.conf"), 0);
    support::writeFile(registry, "[DNS]\ndomainname=a.b\n");
    int handle = p_openReg("/tmp/system.conf");
    EXPECT_NE(handle, 0);
    EXPECT_THAT(support::logText(), Not(HasSubstr("re-open")));
    p_CloseNoAction(handle);
}

TEST_F(RegistryLayerTest, BufferGuardAt999And1000) {
    int handle = p_openReg("/tmp/system.conf");
    char value[1100];
    std::memset(value, 'x', sizeof value);
    EXPECT_EQ(p_regGet(handle, value, "DNS", "domainname", "", 999), -1);
    EXPECT_EQ(value[0], '\0');
    EXPECT_THAT(support::logText(), HasSubstr("returnValueSize too small '999' < '1000'"));

    EXPECT_EQ(p_regGet(handle, value, "DNS", "domainname", "", 1000), 0);
    EXPECT_STREQ(value, "branch.example.test");
    p_CloseNoAction(handle);
}

TEST_F(RegistryLayerTest, FullLengthValueNeverOverrunsTheCallersBuffer) {
    int handle = p_openReg("/home/root/system.conf");
    std::string longest(1000, 'v');
    ASSERT_EQ(p_regSet(handle, "IxoSettings", "long", longest.c_str()), 0);

    // 1000 characters and their NUL do not fit 1000 bytes.
    char exact[1000 + 16];
    std::memset(exact, 0x7f, sizeof exact);
    EXPECT_EQ(p_regGet(handle, exact, "IxoSettings", "long", "", 1000), -1);
    EXPECT_EQ(exact[0], '\0');
    for (size_t at = 1000; at < sizeof exact; ++at) {
        EXPECT_EQ(exact[at], 0x7f) << at;
    }
    char roomy[1024];
    EXPECT_EQ(p_regGet(handle, roomy, "IxoSettings", "long", "", sizeof roomy), 0);
    EXPECT_EQ(std::string(roomy), longest);
    p_CloseNoAction(handle);
}

TEST_F(RegistryLayerTest, AbsentKeysGiveTheDefaultAndBadHandlesFail) {
    int handle = p_openReg("/tmp/system.conf");
    char value[1024] = "old";
    EXPECT_EQ(p_regGet(handle, value, "DNS", "nosuchkey", "fallback", sizeof value), 0);
    EXPECT_STREQ(value, "fallback");
    EXPECT_EQ(p_regGet(handle, value, "NoSection", "key", "", sizeof value), 0);
    EXPECT_STREQ(value, "");
    p_CloseNoAction(handle);

    EXPECT_EQ(p_regGet(0, value, "DNS", "domainname", "", sizeof value), -1);
    EXPECT_THAT(support::logText(), HasSubstr("error getting key 'domainname'"));
    EXPECT_NE(p_regSet(0, "DNS", "domainname", "x"), 0);
    EXPECT_NE(p_regClose(0), 0);
}

TEST_F(RegistryLayerTest, EmptySectionOrKeyIsLoggedAndStillPassedOn) {
    std::string before = support::readFile(hostPath("/home/root/system.conf"));
    int handle = p_openReg("/home/root/system.conf");
    // The primitives refuse what would break the file; the layer only logs.
    EXPECT_NE(p_regSet(handle, "", "key", "value"), 0);
    EXPECT_THAT(support::logText(), HasSubstr("section NULL or 0 length"));
    EXPECT_NE(p_regSet(handle, "System", nullptr, "value"), 0);
    EXPECT_THAT(support::logText(), HasSubstr("key NULL or 0 length"));
    EXPECT_THAT(support::logText(), HasSubstr("refusing to set"));
    p_CloseNoAction(handle);
    EXPECT_EQ(support::readFile(hostPath("/home/root/system.conf")), before);
}

TEST_F(RegistryLayerTest, DeletePassesTheSectionOn) {
    int handle = p_openReg("/home/root/system.conf");
    EXPECT_EQ(p_regDel(handle, "Terminal"), 0);
    char value[1024];
    EXPECT_EQ(p_regGet(handle, value, "Terminal", "name", "gone", sizeof value), 0);
    EXPECT_STREQ(value, "gone");
    EXPECT_EQ(p_regGet(handle, value, "System", "interface", "", sizeof value), 0);
    EXPECT_STREQ(value, "eth0");
    p_CloseNoAction(handle);
}

}  // namespace
