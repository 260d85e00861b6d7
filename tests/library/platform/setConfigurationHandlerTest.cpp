// The "setConfiguration" handler: parse, apply, release, inside the optional
// lockout.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ixo/guards.h"
#include "tests/support/commandTestSupport.h"
#include "tests/support/platformTestSupport.h"

using ::testing::HasSubstr;

namespace {

using namespace platformtest;
using commandtest::Outcome;

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

    Outcome run(const std::string &parameters) {
        return commandtest::runXml("setConfiguration", parameters);
    }
};

TEST_F(SetConfigurationTest, AppliedConfigurationGivesNoOutputsWithOrWithoutLockout) {
    for (bool lockout : {false, true}) {
        SCOPED_TRACE(lockout);
        support::clearLog();
        EXPECT_EQ(run((lockout ? "<lockoutUser>true</lockoutUser>" : "") +
                      std::string(kGoodParameters)),
                  Outcome(0));
        EXPECT_EQ(registryValue(kPersistent, "Terminal", "name"), "TC-LOBBY-07");
        EXPECT_EQ(userLockedOut(), 0);
        // The lockout bracket ends either way; without a lockout it says so.
        EXPECT_EQ(support::logText().find("User not currently locked out") != std::string::npos,
                  !lockout);
    }
}

TEST_F(SetConfigurationTest, ConfigurationThatCannotBeAppliedGivesClassAndMessage) {
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags/keep").c_str(), 0755), 0);
    EXPECT_EQ(run(kGoodParameters),
              Outcome(-1, "invalid_arguments", "Error while setting configuration"));
}

TEST_F(SetConfigurationTest, FailedReleaseLeavesTheResult) {
    agent::failNextPlatformDataRelease();
    EXPECT_EQ(run(kGoodParameters), Outcome(0));
    EXPECT_THAT(support::logText(), HasSubstr("Unknown error trying to free platform data"));
}

}  // namespace
