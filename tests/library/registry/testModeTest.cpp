// Registry test mode. It is process-wide and cannot be left, so it has this
// executable of its own, and its tests run in the order written.
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

using ::testing::HasSubstr;

namespace {

// A home and an agent directory whose names a shell would split or expand.
struct TestModeFiles {
    std::string base;
    std::string home;
    std::string agentDirectory;
};

TestModeFiles &files() {
    static TestModeFiles shared;
    return shared;
}

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

TEST_F(TestModeTest, OffUntilEnteredAndOnEvenWithoutAnExecutablePath) {
    EXPECT_EQ(registryGetTestMode(), 0);
    int handle = p_openReg("/home/root/system.conf");
    EXPECT_NE(handle, 0);
    p_CloseNoAction(handle);
    EXPECT_THAT(support::logText(), HasSubstr("About to open registry '/home/root/system.conf'"));

    // In a child process, so that this one stays out of test mode for now.
    EXPECT_EXIT(
        {
            registrySetTestMode(nullptr);
            std::exit(registryGetTestMode() == 1 &&
                              support::logText().find("exepath NULL in registrySetTestMode") !=
                                  std::string::npos
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(TestModeTest, EnteringCopiesTheRegistriesWithPathsKeptWhole) {
    TestModeFiles &f = files();
    f.base = support::makeTempDir("testmode-");
    f.home = f.base + "/home with blank";
    f.agentDirectory = f.base + "/agent dir $(touch pwned) `touch pwned2`";
    ASSERT_EQ(mkdir(f.home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(f.agentDirectory.c_str(), 0755), 0);
    support::writeFile(f.agentDirectory + "/system.conf", "[IxoSettings]\nMode=from the copy\n");
    support::writeFile(f.agentDirectory + "/dummy.control", "[control]\nname=dummy\n");
    std::string executable = f.agentDirectory + "/ixoAgent";
    setenv("HOME", f.home.c_str(), 1);

    registrySetTestMode(&executable[0]);

    EXPECT_EQ(registryGetTestMode(), 1);
    EXPECT_EQ(support::readFile(f.home + "/.v6_test_dir/reg_temporary"),
              "[IxoSettings]\nMode=from the copy\n");
    EXPECT_EQ(support::readFile(f.home + "/.v6_test_dir/dummy.control"),
              "[control]\nname=dummy\n");
    // Nothing in the names ran as a command.
    EXPECT_FALSE(support::exists("pwned"));
    EXPECT_FALSE(support::exists("pwned2"));
    EXPECT_FALSE(support::exists(f.agentDirectory + "/pwned"));
    EXPECT_FALSE(support::exists(f.base + "/pwned"));
}

TEST_F(TestModeTest, SystemRegistriesAndTheTestAddOnMapIntoHome) {
    TestModeFiles &f = files();
    ASSERT_FALSE(f.home.empty()) << "runs after the test that enters test mode";
    setenv("HOME", f.home.c_str(), 1);
    agent::setHostRegistryDirectory(f.home + "/.v6_test_dir");

    char value[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getIxoSetting("Mode", value), 0);
    EXPECT_STREQ(value, "from the copy");
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("About to open registry '" + f.home + "/.v6_test_dir/reg_temporary'"));

    // The persistent registry shares the copy, whose write lock is kept
    // beside it, not in the device's folder.
    EXPECT_EQ(setPendingCommandXml("Persisted", "yes"), 0);
    EXPECT_EQ(getIxoSetting("Persisted", value), 0);
    EXPECT_STREQ(value, "yes");
    std::filesystem::directory_iterator locks(f.home + "/.v6_test_dir/.registry-locks");
    EXPECT_EQ(std::distance(locks, std::filesystem::directory_iterator()), 1);
    EXPECT_FALSE(support::exists(hostPath("/home/root/.registry-locks")));

    int control = p_openReg("/etc/addons.d/dummy/control");
    EXPECT_NE(control, 0);
    EXPECT_EQ(p_regGet(control, value, "control", "name", "", sizeof value), 0);
    EXPECT_STREQ(value, "dummy");
    p_CloseNoAction(control);

    support::clearLog();
    char port[IXO_REGISTRY_BUFFER_SIZE] = "";
    EXPECT_EQ(getLegacyListenPort(port), 0);
    EXPECT_STREQ(port, "7070");
    EXPECT_THAT(support::logText(),
                HasSubstr("[2] Unknown registry location '/etc/addons.d/VORBIX/config/iniFile.ini' "
                          "being opened"));
    agent::setHostRegistryDirectory("");
}

TEST_F(TestModeTest, LongHomeIsMappedWholeAndAShorterOneAfterIt) {
    for (const std::string &name : {std::string(150, 'h'), std::string("s")}) {
        std::string home = files().base + "/" + name;
        ASSERT_TRUE(std::filesystem::create_directories(home + "/.v6_test_dir"));
        support::writeFile(home + "/.v6_test_dir/reg_temporary", "[IxoSettings]\nMode=" + name + "\n");
        setenv("HOME", home.c_str(), 1);
        agent::setHostRegistryDirectory(home + "/.v6_test_dir");
        char value[IXO_REGISTRY_BUFFER_SIZE] = "";
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
    support::removeTree(files().base);
}

}  // namespace
