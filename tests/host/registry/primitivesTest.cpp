// reg_get, reg_set, reg_del and the closes as the library uses them: limits
// refused with nothing written, defaults, the caller's buffer, bad handles, and the registry-change
// hook that only reg_close_action runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "tests/host/registry/registryTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class RegistryPrimitives : public registrytest::RegistryTest {
protected:
    std::string hook() const { return hostPath("/etc/registry.d/changed"); }
    void installHook(mode_t mode) {
        ASSERT_EQ(mkdir(hostPath("/etc/registry.d").c_str(), 0755), 0);
        support::writeFile(hook(), "#!/bin/sh\n");
        ASSERT_EQ(chmod(hook().c_str(), mode), 0);
    }
};

TEST_F(RegistryPrimitives, RefusedWritesLeaveTheFileUntouched) {
    const std::string original = "# settings\n[s]\nk=v\n";
    int handle = openWith(original);
    const std::string tooLong(1001, 'x');
    const struct {
        const char *section, *key, *value;
    } cases[] = {
        {"s", "k", tooLong.c_str()}, {"s", "k", "cr\r"}, {"s", "k", nullptr},
        {nullptr, "k", "v"},         {"", "k", "v"},      {"a]b", "k", "v"},
        {"a\nb", "k", "v"},          {"s", nullptr, "v"}, {"s", "", "v"},
        {"s", "a=b", "v"},           {"s", "#k", "v"},    {"s", " k", "v"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.section ? c.section : "null") + " " + (c.key ? c.key : "null"));
        EXPECT_EQ(reg_set(handle, c.section, c.key, c.value), -1);
    }
    EXPECT_EQ(support::readFile(file()), original);
    EXPECT_EQ(get(handle, "s", "k"), "v");
    EXPECT_FALSE(agent::registrySet("/tmp/system.conf", "s", std::string("k\0x", 3), "v", nullptr));
    EXPECT_EQ(support::readFile(file()), original);
    // The longest value a caller's buffer holds is kept whole.
    ASSERT_EQ(reg_set(handle, "s", "k", tooLong.c_str() + 1), 0);
    EXPECT_EQ(support::readFile(file()), "# settings\n[s]\nk=" + tooLong.substr(1) + "\n");
    reg_close(handle);
}

// reg_get writes the value, or the default, and its NUL, and nothing past it.
TEST_F(RegistryPrimitives, GetWritesValueOrDefaultAndNulOnly) {
    const std::string longest(1000, 'L');
    int handle =
        openWith("[s]\nshort=abc\nlongest=" + longest + "\nhand=" + std::string(1500, 'H') + "\n");
    auto check = [&](const char *section, const char *key, const char *fallback, int result,
                     const std::string &value) {
        SCOPED_TRACE(std::string(section ? section : "null") + " " + (key ? key : "null"));
        char buffer[1024];
        std::memset(buffer, 0x7f, sizeof buffer);
        EXPECT_EQ(reg_get(handle, buffer, section, key, fallback), result);
        EXPECT_EQ(std::string(buffer), value);
        for (size_t i = value.size() + 1; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], 0x7f) << "byte " << i;
        }
    };
    check("s", "short", nullptr, 0, "abc");
    check("s", "longest", nullptr, 0, longest);
    check("s", "absent", "dflt", 0, "dflt");
    check("absent", "short", "dflt", 0, "dflt");
    check("s", "absent", nullptr, 0, "");
    check(nullptr, "short", "dflt", 1, "");
    check("s", nullptr, "dflt", 1, "");
    // Too long for any caller's buffer (written by hand): refused, not cut.
    check("s", "hand", nullptr, 1, "");
    check("s", "absent", std::string(1001, 'D').c_str(), 1, "");
    EXPECT_THAT(support::logText(), HasSubstr("1500 characters"));

    EXPECT_EQ(reg_get(handle, nullptr, "s", "short", ""), 1);
    // The library may pass its buffer as the default.
    char buffer[1024] = "kept";
    EXPECT_EQ(reg_get(handle, buffer, "s", "missing", buffer), 0);
    EXPECT_STREQ(buffer, "kept");
    reg_close(handle);
}

TEST_F(RegistryPrimitives, BadHandlesFailEveryCall) {
    std::string before = support::readFile(file());
    int closed = reg_open("/tmp/system.conf");
    ASSERT_GT(closed, 0);
    ASSERT_EQ(reg_close_no_action(closed), 0);
    for (int handle : {0, -1, closed, closed + 1000}) {
        SCOPED_TRACE(handle);
        char buffer[16] = "untouched";
        EXPECT_EQ(reg_get(handle, buffer, "s", "k", "d"), 1);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(reg_set(handle, "s", "k", "v"), -1);
        EXPECT_EQ(reg_del(handle, "s"), -1);
        EXPECT_EQ(reg_close(handle), -1);
        EXPECT_EQ(reg_close_action(handle), -1);
        EXPECT_EQ(reg_close_no_action(handle), -1);
    }
    EXPECT_EQ(support::readFile(file()), before);
    // A new handle never takes a closed one's number.
    int next = reg_open("/tmp/system.conf");
    EXPECT_GT(next, closed);
    reg_close(next);
}

TEST_F(RegistryPrimitives, DeleteRemovesEverySectionOfTheName) {
    const std::string keep = "# head\n[keep]\nk=1\n";
    int handle = openWith(keep + "[gone]\na=1\n# inside gone\n\n[other]\nb=2\n[gone]\nc=3\n");
    ASSERT_EQ(reg_del(handle, "gone"), 0);
    EXPECT_EQ(support::readFile(file()), keep + "[other]\nb=2\n");
    EXPECT_EQ(get(handle, "gone", "a"), "<absent>");

    // Absent sections succeed and write nothing; invalid names are refused.
    ino_t before = inode();
    EXPECT_EQ(reg_del(handle, "gone"), 0);
    EXPECT_EQ(reg_del(handle, "Other"), 0);
    EXPECT_EQ(inode(), before);
    EXPECT_EQ(reg_del(handle, nullptr), -1);
    EXPECT_EQ(reg_del(handle, ""), -1);
    EXPECT_EQ(support::readFile(file()), keep + "[other]\nb=2\n");
    reg_close(handle);
}

TEST_F(RegistryPrimitives, OnlyCloseActionRunsAnExecutableHookAndOnlyThroughTheRunner) {
    EXPECT_EQ(reg_close_action(reg_open("/tmp/system.conf")), 0);
    installHook(0644);
    EXPECT_EQ(reg_close_action(reg_open("/tmp/system.conf")), 0);
    EXPECT_THAT(registrytest::hookLines, IsEmpty());

    ASSERT_EQ(chmod(hook().c_str(), 0755), 0);
    int plain = openWith("[s]\nk=v\n");
    int quiet = reg_open("/tmp/system.conf");
    int action = reg_open("/tmp/system.conf");
    ASSERT_EQ(reg_set(plain, "s", "k", "w"), 0);
    EXPECT_EQ(reg_close(plain), 0);
    EXPECT_EQ(reg_close_no_action(quiet), 0);
    EXPECT_THAT(registrytest::hookLines, IsEmpty());
    // Every write is on disk before any close.
    EXPECT_EQ(support::readFile(file()), "[s]\nk=w\n");
    EXPECT_EQ(reg_close_action(action), 0);
    EXPECT_THAT(registrytest::hookLines,
                ElementsAre("'/etc/registry.d/changed' '/tmp/system.conf'"));
    EXPECT_EQ(reg_close_action(action), -1);
    EXPECT_EQ(registrytest::hookLines.size(), 1u);

    // A failing hook is logged; the close still succeeds.
    int quoted = reg_open("/tmp/it's.conf");
    ASSERT_GT(quoted, 0);
    registrytest::hookResult = 1 << 8;
    support::clearLog();
    EXPECT_EQ(reg_close_action(quoted), 0);
    EXPECT_EQ(registrytest::hookLines.back(), "'/etc/registry.d/changed' '/tmp/it'\\''s.conf'");
    EXPECT_THAT(support::logText(), HasSubstr("exited with 1"));

    // Without a runner, no hook is run: system(3) would run this machine's
    // (not tried where this machine has one).
    if (!support::exists("/etc/registry.d/changed")) {
        agent::setHookRunner(nullptr);
        EXPECT_EQ(reg_close_action(reg_open("/tmp/system.conf")), 0);
        EXPECT_THAT(support::logText(), HasSubstr("no hook runner for the simulated device"));
    }
}

}  // namespace
