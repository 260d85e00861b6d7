// Deleting sections, and the three closes: only reg_close_action runs the
// device's registry-change hook.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/registry/registryTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class RegistryClose : public registrytest::RegistryTest {
protected:
    void installHook(mode_t mode) {
        ASSERT_EQ(mkdir(hostPath("/etc/registry.d").c_str(), 0755), 0);
        support::writeFile(hostPath("/etc/registry.d/changed"), "#!/bin/sh\n");
        ASSERT_EQ(chmod(hostPath("/etc/registry.d/changed").c_str(), mode), 0);
    }
};

TEST_F(RegistryClose, DeleteRemovesEverySectionOfTheName) {
    const std::string keep = "# head\n[keep]\nk=1\n";
    int handle = openWith(keep + "[gone]\na=1\n# inside gone\n\n[other]\nb=2\n[gone]\nc=3\n");
    ASSERT_GT(handle, 0);
    ASSERT_EQ(reg_del(handle, "gone"), 0);
    EXPECT_EQ(support::readFile(file()), keep + "[other]\nb=2\n");
    EXPECT_EQ(get(handle, "gone", "a"), "<absent>");

    struct stat before, after;
    ASSERT_EQ(stat(file().c_str(), &before), 0);
    EXPECT_EQ(reg_del(handle, "gone"), 0);
    EXPECT_EQ(reg_del(handle, "Other"), 0);
    ASSERT_EQ(stat(file().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(reg_del(handle, nullptr), -1);
    EXPECT_EQ(reg_del(handle, ""), -1);
    EXPECT_EQ(support::readFile(file()), keep + "[other]\nb=2\n");
    reg_close(handle);
}

TEST_F(RegistryClose, OnlyCloseActionRunsTheHook) {
    installHook(0755);
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

    int quoted = reg_open("/tmp/it's.conf");
    ASSERT_GT(quoted, 0);
    registrytest::hookResult = 1 << 8;
    support::clearLog();
    EXPECT_EQ(reg_close_action(quoted), 0);
    EXPECT_EQ(registrytest::hookLines.back(), "'/etc/registry.d/changed' '/tmp/it'\\''s.conf'");
    EXPECT_THAT(support::logText(), HasSubstr("exited with 1"));
}

TEST_F(RegistryClose, NoHookOrNoExecutableHookRunsNothing) {
    int handle = reg_open("/tmp/system.conf");
    EXPECT_EQ(reg_close_action(handle), 0);
    installHook(0644);
    handle = reg_open("/tmp/system.conf");
    EXPECT_EQ(reg_close_action(handle), 0);
    EXPECT_THAT(registrytest::hookLines, IsEmpty());
}

TEST_F(RegistryClose, DefaultRunnerNeverRunsTheHostsHookForASimulatedDevice) {
    if (support::exists("/etc/registry.d/changed")) {
        GTEST_SKIP() << "this host has a registry hook of its own";
    }
    installHook(0755);
    agent::setHookRunner(nullptr);
    int handle = reg_open("/tmp/system.conf");
    EXPECT_EQ(reg_close_action(handle), 0);
    EXPECT_THAT(support::logText(), HasSubstr("no hook runner for the simulated device"));
}

}  // namespace
