// The "setConfiguration" handler: parse, apply, release, inside the optional
// lockout.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/guards.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/platform/platformTestSupport.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using namespace platformtest;

const char kGoodParameters[] =
    "<hostName><assignment>entered</assignment><name>TC-LOBBY-07</name></hostName>"
    "<assetTag><name>location</name><value>Lobby</value></assetTag>";

class SetConfigurationTest : public PlatformTest {
protected:
    void TearDown() override {
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        PlatformTest::TearDown();
    }

    commandtest::Outcome run(const std::string &parameters) {
        std::string xml = "<command name=\"setConfiguration\"><parameters>" + parameters +
                          "</parameters></command>";
        std::string error;
        agent::CommandPtr command = agent::parseCommand(xml, "setConfiguration.xml", &error);
        EXPECT_TRUE(command) << error;
        CommandHandlerFn handler = commandtest::handlerFor("setConfiguration");
        EXPECT_NE(handler, nullptr);
        if (!command || handler == nullptr) {
            return {};
        }
        return commandtest::runHandler(handler, command.get());
    }
};

TEST_F(SetConfigurationTest, AppliedConfigurationGivesNoOutputs) {
    commandtest::Outcome outcome = run(kGoodParameters);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_FALSE(outcome.hasResponse);
    EXPECT_EQ(registryValue(kPersistent, "Terminal", "name"), "TC-LOBBY-07");
    EXPECT_EQ(support::readFile(hostPath("/home/root/ixoAssetTags")), "location=Lobby\n");
    // Without "lockoutUser" the lockout bracket still ends, logging that
    // nobody was locked out.
    EXPECT_THAT(support::logText(), HasSubstr("User not currently locked out"));
}

TEST_F(SetConfigurationTest, UnparsableCommandGivesTheErrorClassOnly) {
    std::string before = support::readFile(hostPath(kPersistent));
    commandtest::Outcome outcome =
        run("<networkInterface><mac>zz</mac><addressing>dhcp</addressing></networkInterface>");
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_FALSE(outcome.hasResponse);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("Invalid arguments in setConfiguration"));
    EXPECT_THAT(log, HasSubstr("<networkInterface/mac> 'zz' is no MAC address"));
    EXPECT_EQ(support::readFile(hostPath(kPersistent)), before);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

TEST_F(SetConfigurationTest, ConfigurationThatCannotBeAppliedGivesClassAndMessage) {
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags/keep").c_str(), 0755), 0);
    commandtest::Outcome outcome = run(kGoodParameters);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "invalid_arguments");
    EXPECT_EQ(outcome.message, "Error while setting configuration");
    EXPECT_THAT(support::logText(), HasSubstr("Error setting platform data"));
    // What was applied before the failure stays.
    EXPECT_EQ(registryValue(kPersistent, "Terminal", "name"), "TC-LOBBY-07");
}

TEST_F(SetConfigurationTest, FailedReleaseLeavesTheResult) {
    agent::failNextPlatformDataRelease();
    commandtest::Outcome outcome = run(kGoodParameters);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.hasErrorClass);
    EXPECT_FALSE(outcome.hasMessage);
    EXPECT_THAT(support::logText(), HasSubstr("Unknown error trying to free platform data"));
}

TEST_F(SetConfigurationTest, LockoutSpansTheWholeCommand) {
    commandtest::Outcome outcome =
        run(std::string("<lockoutUser>true</lockoutUser>") + kGoodParameters);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(userLockedOut(), 0);
    EXPECT_THAT(support::logText(), Not(HasSubstr("User not currently locked out")));
}

TEST_F(SetConfigurationTest, LockoutThatCannotStartStopsBeforeTheParse) {
    // A lockout already up cannot be begun again.
    ASSERT_EQ(beginUserLockoutDialog(), 0);
    std::string before = support::readFile(hostPath(kPersistent));
    commandtest::Outcome outcome = run("<lockoutUser>true</lockoutUser><reboot>now</reboot>");
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.errorClass, "error");
    EXPECT_EQ(outcome.message, "Unable to initiate User lockout screen");
    EXPECT_THAT(support::logText(), Not(HasSubstr("is not a setConfiguration parameter")));
    EXPECT_EQ(support::readFile(hostPath(kPersistent)), before);
}

}  // namespace
