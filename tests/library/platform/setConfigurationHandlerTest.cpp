// The "setConfiguration" handler: parse, apply, release, inside the optional
// lockout.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ixo/guards.h"
#include "tests/support/commandTestSupport.h"
#include "tests/support/platformTestSupport.h"


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

// Applied inside the optional lockout, which ends either way; a failed release
// leaves the result; a configuration that cannot be applied gives class and
// message.
TEST_F(SetConfigurationTest, OutcomeIsTheConfigurationsWithOrWithoutLockout) {
    for (bool lockout : {false, true}) {
        SCOPED_TRACE(lockout);
        EXPECT_EQ(run((lockout ? "<lockoutUser>true</lockoutUser>" : "") +
                      std::string(kGoodParameters)),
                  Outcome(0));
        EXPECT_EQ(registryValue(kPersistent, "Terminal", "name"), "TC-LOBBY-07");
        EXPECT_EQ(userLockedOut(), 0);
    }
    agent::failNextPlatformDataRelease();
    EXPECT_EQ(run(kGoodParameters), Outcome(0));
    ASSERT_EQ(std::remove(hostPath("/home/root/ixoAssetTags").c_str()), 0);
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(hostPath("/home/root/ixoAssetTags/keep").c_str(), 0755), 0);
    EXPECT_EQ(run("<lockoutUser>true</lockoutUser>" + std::string(kGoodParameters)),
              Outcome(-1, "invalid_arguments", "Error while setting configuration"));
    EXPECT_EQ(userLockedOut(), 0);
}

}  // namespace
