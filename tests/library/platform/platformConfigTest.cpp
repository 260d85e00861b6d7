// Host name, locale, restarts and asset tags of a configuration, on the
// simulated device (persistent registry: source ENTERED, name TC-SIM-0001,
// language en_US.UTF-8).
// The "setConfiguration" handler: parse, apply, release, inside the optional
// lockout.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ixo/guards.h"
#include "tests/support/commandTestSupport.h"
#include "tests/support/platformTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using namespace platformtest;

const char kAssetTags[] = "/home/root/ixoAssetTags";

class PlatformConfigTest : public PlatformTest {
protected:
    // The restarts among the lines run (the DNS restart always runs).
    std::vector<std::string> restarts() {
        std::vector<std::string> lines = sim::recordedLines();
        lines.erase(std::remove(lines.begin(), lines.end(), kDnsRestart), lines.end());
        return lines;
    }

    // Names in /home/root other than the registry, the tag file and the
    // registry lock folder.
    std::vector<std::string> strayFiles() {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(hostPath("/home/root"))) {
            std::string name = entry.path().filename();
            if (name != "system.conf" && name != "ixoAssetTags" && name != ".registry-locks" &&
                name != "addon-cache" && name.rfind(".system.conf", 0) != 0) {
                names.push_back(name);
            }
        }
        return names;
    }
};

TEST_F(PlatformConfigTest, HostNameAndLocaleRestartOnlyWhatChanged) {
    const std::vector<std::string> none, hostName = {kHostNameRestart},
                                         windowManager = {kWindowManagerRestart};
    struct Case {
        const char *section, *key, *before;
        uint32_t hostNameType;
        const char *hostName, *locale, *after;
        const std::vector<std::string> &restarts;
    };
    const Case cases[] = {
        // The same entered name, its source in other capitals.
        {"Terminal", "source", "Entered", 1, "TC-SIM-0001", "", "ENTERED", none},
        // Entered without a name writes nothing.
        {"Terminal", "source", "DHCP", 1, "", "", "DHCP", none},
        // The other types name only the source; the same source again is no change.
        {"Terminal", "source", "ENTERED", 2, "ignored", "", "MAC", hostName},
        {"Terminal", "source", "ENTERED", 3, "ignored", "", "DHCP", hostName},
        {"Terminal", "source", "ENTERED", 4, "ignored", "", "DNS", hostName},
        {"Terminal", "source", "DNS", 4, "ignored", "", "DNS", none},
        {"System", "language", "fr_FR.UTF-8", 0, "", "", "fr_FR.UTF-8", none},
        // ".utf8" is rewritten before the comparison, which ignores case.
        {"System", "language", "en_us.utf-8", 0, "", "en_US.utf8", "en_US.UTF-8", none},
        // What follows ".utf8" is dropped.
        {"System", "language", "en_US.UTF-8", 0, "", "de_DE.utf8@euro", "de_DE.UTF-8",
         windowManager},
        // A host-name type out of range skips the locale too.
        {"System", "language", "en_US.UTF-8", 5, "TC-LOBBY-07", "de_DE.UTF-8", "en_US.UTF-8", none},
        {"System", "language", "en_US.UTF-8", 0xffffffffu, "TC-LOBBY-07", "de_DE.UTF-8",
         "en_US.UTF-8", none},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.before) + " " + std::to_string(c.hostNameType));
        setRegistryValue(kPersistent, c.section, c.key, c.before);
        sim::clearRecordedLines();
        record = newRecord();
        record->hostNameAssignmentType = c.hostNameType;
        setText(record->hostName, c.hostName);
        setText(record->locale, c.locale);
        ASSERT_EQ(apply(), 0);
        EXPECT_EQ(persistent(c.section, c.key), c.after);
        EXPECT_EQ(persistent("Terminal", "name"), "TC-SIM-0001");
        EXPECT_EQ(restarts(), c.restarts);
    }
}

TEST_F(PlatformConfigTest, WindowManagerControlFileLinkedByALocalUserIsNotAppendedTo) {
    support::writeFile(hostPath("/etc/victim"), "precious\n");
    support::openToLocalUsers(hostPath("/tmp"));
    std::string link = hostPath("/tmp/qvwm-:0.0");
    ASSERT_EQ(support::runAsLocalUser([&] { return symlink("../etc/victim", link.c_str()); }), 0);
    setText(record->locale, "de_DE.utf8");

    ASSERT_EQ(apply(), 0);

    EXPECT_EQ(persistent("System", "language"), "de_DE.UTF-8");
    EXPECT_THAT(restarts(), IsEmpty());
    EXPECT_EQ(support::readFile(hostPath("/etc/victim")), "precious\n");
}

TEST_F(PlatformConfigTest, LocaleWithNoRoomForTheRewriteIsRefused) {
    // ".utf8" at the very end of a full field: ".UTF-8" and its NUL would
    // end one byte past the field.
    std::string full = std::string(1018, 'x') + ".utf8";
    ASSERT_EQ(full.size(), sizeof record->locale - 1);
    setText(record->locale, full);
    record->biosSize = 0xA5A5A5A5u;
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(std::string(record->locale), full);
    EXPECT_EQ(record->biosSize, 0xA5A5A5A5u);
    EXPECT_EQ(persistent("System", "language"), "en_US.UTF-8");
    EXPECT_THAT(restarts(), IsEmpty());

    // One character shorter fits: the rewrite fills the field exactly. (The
    // registry holds no value that long, so the language stays.)
    setText(record->locale, std::string(1017, 'x') + ".utf8");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(std::string(record->locale), std::string(1017, 'x') + ".UTF-8");
    EXPECT_EQ(record->biosSize, 0xA5A5A5A5u);
    EXPECT_EQ(persistent("System", "language"), "en_US.UTF-8");
}

TEST_F(PlatformConfigTest, AssetTagFileIsReplacedWholeAndDecidesTheResult) {
    addTag(record.get(), "location", "Lobby, desk 7");
    addTag(record.get(), "owner", "Facilities");
    ASSERT_EQ(apply(), 0);
    record = newRecord();
    addTag(record.get(), "owner", "IT");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(support::readFile(hostPath(kAssetTags)), "owner=IT\n");
    struct stat info;
    ASSERT_EQ(stat(hostPath(kAssetTags).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_THAT(strayFiles(), IsEmpty());

    // No tags remove the file; the other steps' failures (an unknown
    // interface, a host-name type out of range) do not fail the configuration.
    record = newRecord();
    record->hostNameAssignmentType = 9;
    addInterface(record.get(), {"00:11:22:33:44:55", 2, ""});
    ASSERT_EQ(apply(), 0);
    EXPECT_FALSE(support::exists(hostPath(kAssetTags)));
    // No file is no error either.
    ASSERT_EQ(apply(), 0);
}

TEST_F(PlatformConfigTest, AssetTagFileThatCannotBeReplacedFailsTheConfiguration) {
    ASSERT_EQ(mkdir(hostPath(kAssetTags).c_str(), 0755), 0);
    ASSERT_EQ(mkdir(hostPath(std::string(kAssetTags) + "/keep").c_str(), 0755), 0);
    addTag(record.get(), "location", "Lobby");
    record->hostNameAssignmentType = 1;
    setText(record->hostName, "TC-LOBBY-07");
    EXPECT_EQ(apply(), -1);
    // Nothing is rolled back, and no temporary file is left behind.
    EXPECT_EQ(persistent("Terminal", "name"), "TC-LOBBY-07");
    EXPECT_THAT(strayFiles(), IsEmpty());

    // Without tags the directory cannot be removed as the tag file either.
    record = newRecord();
    EXPECT_EQ(apply(), -1);
}

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
