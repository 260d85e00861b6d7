// The registry layer over the agent's primitives: the shared temporary
// registry handle, the caller's buffer guard and the write checks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ixo/registry.h"
#include "tests/support/support.h"


namespace {

class RegistryLayerTest : public support::SimDeviceTest {};

TEST_F(RegistryLayerTest, TemporaryRegistryHasOneSharedHandle) {
    int first = p_openReg("/tmp/system.conf");
    ASSERT_NE(first, 0);
    EXPECT_EQ(p_openReg("/tmp/system.conf"), first);

    // Other registries open afresh and leave the shared handle alone.
    int home = p_openReg("/home/root/system.conf");
    int again = p_openReg("/home/root/system.conf");
    EXPECT_NE(home, 0);
    EXPECT_NE(again, home);
    EXPECT_EQ(p_CloseNoAction(home), 0);
    EXPECT_EQ(p_CloseNoAction(again), 0);
    EXPECT_EQ(p_openReg("/tmp/system.conf"), first);

    // Any close of it ends it for everyone: the next open is a new one.
    for (int (*close)(int) : {p_regClose, p_CloseAction, p_CloseNoAction}) {
        int handle = p_openReg("/tmp/system.conf");
        EXPECT_EQ(close(handle), 0);
        int next = p_openReg("/tmp/system.conf");
        EXPECT_NE(next, 0);
        EXPECT_NE(next, handle);
    }
    p_CloseNoAction(p_openReg("/tmp/system.conf"));
}

TEST_F(RegistryLayerTest, FailedOpenOfTheTemporaryRegistryIsRetried) {
    std::string registry = hostPath("/tmp/system.conf");
    support::writeFile(registry, "not a registry line\n");
    EXPECT_EQ(p_openReg("/tmp/system.conf"), 0);
    support::writeFile(registry, "[DNS]\ndomainname=a.b\n");
    int handle = p_openReg("/tmp/system.conf");
    EXPECT_NE(handle, 0);
    p_CloseNoAction(handle);
}

// The caller's buffer must hold IXO_REGISTRY_MAX_VALUE bytes, and a value
// and its NUL must fit it: a 1000-character value does not fit 1000 bytes.
TEST_F(RegistryLayerTest, ValueNeverOverrunsTheCallersBuffer) {
    int handle = p_openReg("/home/root/system.conf");
    const std::string longest(1000, 'v');
    ASSERT_EQ(p_regSet(handle, "Terminal", "long", longest.c_str()), 0);
    const struct {
        const char *key;
        int size, result;
        std::string value;
    } cases[] = {
        {"name", 999, -1, ""}, {"name", 1000, 0, "TC-SIM-0001"},
        {"long", 1000, -1, ""}, {"long", 1001, 0, longest},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.size));
        char value[1100];
        std::memset(value, 0x7f, sizeof value);
        EXPECT_EQ(p_regGet(handle, value, "Terminal", c.key, "", c.size), c.result);
        EXPECT_EQ(std::string(value), c.value);
        for (size_t at = c.size; at < sizeof value; ++at) {
            ASSERT_EQ(value[at], 0x7f) << at;
        }
    }
    p_CloseNoAction(handle);
}

TEST_F(RegistryLayerTest, PassesCallsOnAndFailsBadHandles) {
    std::string before = support::readFile(hostPath("/home/root/system.conf"));
    int handle = p_openReg("/home/root/system.conf");
    char value[1024] = "old";
    EXPECT_EQ(p_regGet(handle, value, "System", "nosuchkey", "fallback", sizeof value), 0);
    EXPECT_STREQ(value, "fallback");
    // The primitives refuse what would break the file; the layer only logs.
    EXPECT_NE(p_regSet(handle, "", "key", "value"), 0);
    EXPECT_EQ(support::readFile(hostPath("/home/root/system.conf")), before);
    EXPECT_EQ(p_regDel(handle, "Terminal"), 0);
    EXPECT_EQ(p_regGet(handle, value, "Terminal", "name", "gone", sizeof value), 0);
    EXPECT_STREQ(value, "gone");
    p_CloseNoAction(handle);

    EXPECT_EQ(p_regGet(0, value, "DNS", "domainname", "", sizeof value), -1);
    EXPECT_STREQ(value, "");
    EXPECT_NE(p_regSet(0, "DNS", "domainname", "x"), 0);
    EXPECT_NE(p_regDel(0, "DNS"), 0);
    EXPECT_NE(p_regClose(0), 0);
}

}  // namespace
