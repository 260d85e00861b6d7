// reg_get, reg_set and handles as the library uses them: round trips, limits
// refused with nothing written, defaults, the caller's buffer, bad handles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/registry/registryTestSupport.h"

using ::testing::HasSubstr;

namespace {

class RegistryPrimitives : public registrytest::RegistryTest {};

TEST_F(RegistryPrimitives, ValuesRoundTripExactly) {
    int handle = openWith("");
    ASSERT_GT(handle, 0);
    const std::string longest(1000, 'x');
    const struct {
        const char *section, *key;
        std::string value;
    } cases[] = {
        {"NETWORK", "SOFTWARE\\TELMARC\\VORBIX\\ListenPort", "5500"},
        {"NETWORK", "long", longest},
        {"NETWORK", "equals", "a=b=c"},
        {"NETWORK", "blanks", "  both ends \t"},
        {"NETWORK", "empty", ""},
        {"a[b", "odd]key ", "; not a comment"},
        {" spaced ", "k", "[not a section]"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(reg_set(handle, c.section, c.key, c.value.c_str()), 0) << c.key;
    }
    int other = reg_open("/tmp/system.conf");
    for (const auto &c : cases) {
        EXPECT_EQ(get(other, c.section, c.key), c.value) << c.key;
    }
    std::string value;
    EXPECT_TRUE(agent::registryGet("/tmp/system.conf", "NETWORK", "equals", &value, nullptr));
    EXPECT_EQ(value, "a=b=c");
    EXPECT_EQ(reg_close(handle), 0);
    EXPECT_EQ(reg_close(other), 0);
}

TEST_F(RegistryPrimitives, RefusedWritesLeaveTheFileUntouched) {
    const std::string original = "# settings\n[s]\nk=v\n";
    int handle = openWith(original);
    ASSERT_GT(handle, 0);
    const std::string tooLong(1001, 'x');
    const struct {
        const char *section, *key, *value;
    } cases[] = {
        {"s", "k", tooLong.c_str()},
        {"s", "k", "line\nbreak"},
        {"s", "k", "cr\r"},
        {"s", "k", nullptr},
        {nullptr, "k", "v"},
        {"", "k", "v"},
        {"a]b", "k", "v"},
        {"a\nb", "k", "v"},
        {"s", nullptr, "v"},
        {"s", "", "v"},
        {"s", "a=b", "v"},
        {"s", "a\nb", "v"},
        {"s", "[k", "v"},
        {"s", "#k", "v"},
        {"s", ";k", "v"},
        {"s", " k", "v"},
    };
    for (const auto &c : cases) {
        support::clearLog();
        EXPECT_EQ(reg_set(handle, c.section, c.key, c.value), -1)
            << (c.section ? c.section : "null") << " " << (c.key ? c.key : "null");
        EXPECT_THAT(support::logText(), HasSubstr("refusing to set"));
    }
    EXPECT_EQ(support::readFile(file()), original);
    EXPECT_EQ(get(handle, "s", "k"), "v");
    EXPECT_FALSE(agent::registrySet("/tmp/system.conf", "s", std::string("k\0x", 3), "v", nullptr));
    EXPECT_EQ(support::readFile(file()), original);
    reg_close(handle);
}

TEST_F(RegistryPrimitives, DefaultsForWhatIsAbsent) {
    int handle = openWith("[s]\nk=v\n");
    ASSERT_GT(handle, 0);
    EXPECT_EQ(get(handle, "s", "missing", "dflt"), "dflt");
    EXPECT_EQ(get(handle, "missing", "k", "dflt"), "dflt");
    EXPECT_EQ(get(handle, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(get(handle, "s", "missing", nullptr), "");
    EXPECT_EQ(get(handle, nullptr, "k"), "<failed>");
    EXPECT_EQ(get(handle, "s", nullptr), "<failed>");
    EXPECT_EQ(reg_get(handle, nullptr, "s", "k", ""), 1);
    // The library may pass its buffer as the default.
    char buffer[1024] = "kept";
    EXPECT_EQ(reg_get(handle, buffer, "s", "missing", buffer), 0);
    EXPECT_STREQ(buffer, "kept");
    reg_close(handle);
}

// Nothing beyond the value and its NUL is written, whatever the value.
TEST_F(RegistryPrimitives, BufferHoldsValueAndNulOnly) {
    const std::string longest(1000, 'L');
    int handle =
        openWith("[s]\nshort=abc\nlongest=" + longest + "\nhand=" + std::string(1500, 'H') + "\n");
    ASSERT_GT(handle, 0);
    auto check = [&](const char *key, const char *fallback, int result, const std::string &value) {
        char buffer[1024];
        std::memset(buffer, 0x7f, sizeof buffer);
        EXPECT_EQ(reg_get(handle, buffer, "s", key, fallback), result) << key;
        EXPECT_EQ(std::string(buffer), value) << key;
        for (size_t i = value.size() + 1; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], 0x7f) << key << " byte " << i;
        }
    };
    check("short", nullptr, 0, "abc");
    check("longest", nullptr, 0, longest);
    check("absent", "default", 0, "default");
    // Written by hand, too long for any caller's buffer: refused, not cut.
    check("hand", nullptr, 1, "");
    check("absent", std::string(1001, 'D').c_str(), 1, "");
    EXPECT_THAT(support::logText(), HasSubstr("1500 characters"));
    reg_close(handle);
}

TEST_F(RegistryPrimitives, BadHandlesFailEveryCall) {
    std::string before = support::readFile(file());
    int closed = reg_open("/tmp/system.conf");
    ASSERT_GT(closed, 0);
    ASSERT_EQ(reg_close_no_action(closed), 0);
    for (int handle : {0, -1, closed, closed + 1000}) {
        support::clearLog();
        char buffer[16] = "untouched";
        EXPECT_EQ(reg_get(handle, buffer, "s", "k", "d"), 1);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(reg_set(handle, "s", "k", "v"), -1);
        EXPECT_EQ(reg_del(handle, "s"), -1);
        EXPECT_EQ(reg_close(handle), -1);
        EXPECT_EQ(reg_close_action(handle), -1);
        EXPECT_EQ(reg_close_no_action(handle), -1);
        EXPECT_THAT(support::logText(),
                    HasSubstr("handle " + std::to_string(handle) + " is not an open registry"));
    }
    EXPECT_EQ(support::readFile(file()), before);
    // A new handle never takes a closed one's number.
    int next = reg_open("/tmp/system.conf");
    EXPECT_GT(next, closed);
    reg_close(next);
}

}  // namespace
