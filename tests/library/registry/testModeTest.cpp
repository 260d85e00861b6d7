// Registry test mode. It is process-wide and cannot be left, so its tests
// come last in the suite's executable and run in the order written.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "host/registry/registry.h"
#include "ixo/registry.h"
#include "tests/support/support.h"

namespace {

// The temporary directory and the home of the tests after the one that
// enters test mode.
std::string base;
std::string home;

class TestModeTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    }
    void TearDown() override {
        setenv("HOME", savedHome.c_str(), 1);
        support::SimDeviceTest::TearDown();
    }
    std::string savedHome;
};

// Off until entered, and entered even without an executable path (in a child
// process, so that this one is still out of test mode); a home and an agent
// directory whose names a shell would split or expand.
TEST_F(TestModeTest, EnteringCopiesTheRegistriesWithPathsKeptWhole) {
    EXPECT_EQ(registryGetTestMode(), 0);
    EXPECT_EXIT(
        {
            registrySetTestMode(nullptr);
            std::exit(registryGetTestMode() == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    base = support::makeTempDir("testmode-");
    home = base + "/home with blank";
    const std::string agentDirectory = base + "/agent dir $(touch pwned) `touch pwned2`";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(agentDirectory.c_str(), 0755), 0);
    support::writeFile(agentDirectory + "/system.conf", "[IxoSettings]\nMode=from the copy\n");
    support::writeFile(agentDirectory + "/dummy.control", "[control]\nname=dummy\n");
    std::string executable = agentDirectory + "/ixoAgent";
    setenv("HOME", home.c_str(), 1);

    registrySetTestMode(&executable[0]);

    EXPECT_EQ(registryGetTestMode(), 1);
    EXPECT_EQ(support::readFile(home + "/.v6_test_dir/reg_temporary"),
              "[IxoSettings]\nMode=from the copy\n");
    EXPECT_EQ(support::readFile(home + "/.v6_test_dir/dummy.control"), "[control]\nname=dummy\n");
    // Nothing in the names ran as a command.
    for (const std::string &directory : {std::string("."), agentDirectory, base}) {
        EXPECT_FALSE(support::exists(directory + "/pwned") || support::exists(directory + "/pwned2"))
            << directory;
    }
}

TEST_F(TestModeTest, SystemRegistriesAndTheTestAddOnMapIntoHomeHoweverLong) {
    ASSERT_FALSE(home.empty()) << "runs after the test that enters test mode";
    setenv("HOME", home.c_str(), 1);
    agent::setHostRegistryDirectory(home + "/.v6_test_dir");

    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getIxoSetting("Mode", value), 0);
    EXPECT_STREQ(value, "from the copy");
    // The persistent registry shares the copy, whose write lock is kept
    // beside it, not in the device's folder.
    EXPECT_EQ(setPendingCommandXml("Persisted", "yes"), 0);
    EXPECT_EQ(getIxoSetting("Persisted", value), 0);
    EXPECT_STREQ(value, "yes");
    std::filesystem::directory_iterator locks(home + "/.v6_test_dir/.registry-locks");
    EXPECT_EQ(std::distance(locks, std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(support::exists(hostPath("/home/root/.registry-locks")));

    int control = p_openReg("/etc/addons.d/dummy/control");
    EXPECT_NE(control, 0);
    EXPECT_EQ(p_regGet(control, value, "control", "name", "", sizeof value), 0);
    EXPECT_STREQ(value, "dummy");
    p_CloseNoAction(control);
    // Other registries are opened where they are.
    EXPECT_EQ(getLegacyListenPort(value), 0);
    EXPECT_STREQ(value, "7070");

    // A long home is mapped whole, and a shorter one after it.
    for (const std::string &name : {std::string(150, 'h'), std::string("s")}) {
        std::string other = base + "/" + name;
        ASSERT_TRUE(std::filesystem::create_directories(other + "/.v6_test_dir"));
        support::writeFile(other + "/.v6_test_dir/reg_temporary", "[IxoSettings]\nMode=" + name + "\n");
        setenv("HOME", other.c_str(), 1);
        agent::setHostRegistryDirectory(other + "/.v6_test_dir");
        EXPECT_EQ(getIxoSetting("Mode", value), 0);
        EXPECT_EQ(value, name);
    }
    agent::setHostRegistryDirectory("");
}

TEST_F(TestModeTest, UnsetHomeMakesOpensFail) {
    unsetenv("HOME");
    EXPECT_EQ(p_openReg("/tmp/system.conf"), 0);
    EXPECT_EQ(p_openReg("/etc/addons.d/dummy/control"), 0);
    char value[IXO_REGISTRY_BUFFER_SIZE] = "x";
    EXPECT_EQ(getIxoSetting("Mode", value), -1);
    support::removeTree(base);
}

}  // namespace
