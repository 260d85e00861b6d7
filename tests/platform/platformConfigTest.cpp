// Host name, locale, restarts and asset tags of a configuration, on the
// simulated device (persistent registry: source ENTERED, name TC-SIM-0001,
// language en_US.UTF-8).
#include <sys/stat.h>

#include <dirent.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/platformTestSupport.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using namespace platformtest;

const char kAssetTags[] = "/home/root/ixoAssetTags";

class PlatformConfigTest : public PlatformTest {
protected:
    int apply() { return setPlatformData(record.get()); }

    std::string persistent(const std::string &section, const std::string &key) {
        return registryValue(kPersistent, section, key);
    }

    // The restarts among the lines run (the DNS restart always runs).
    std::vector<std::string> restarts() {
        std::vector<std::string> lines;
        for (const std::string &line : sim::recordedLines()) {
            if (line != kDnsRestart) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // Names in /home/root other than the registry and the tag file.
    std::vector<std::string> strayFiles() {
        std::vector<std::string> names;
        DIR *directory = opendir(hostPath("/home/root").c_str());
        if (directory == nullptr) {
            ADD_FAILURE() << "no /home/root";
            return names;
        }
        while (dirent *entry = readdir(directory)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "system.conf" && name != "ixoAssetTags" &&
                name.rfind(".system.conf", 0) != 0) {
                names.push_back(name);
            }
        }
        closedir(directory);
        return names;
    }

    Record record = newRecord();
};

TEST_F(PlatformConfigTest, SameEnteredNameInOtherCapitalsChangesNothing) {
    setRegistryValue(kPersistent, "Terminal", "source", "Entered");
    record->hostNameAssignmentType = 1;
    setText(record->hostName, "TC-SIM-0001");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Terminal", "source"), "ENTERED");
    EXPECT_EQ(persistent("Terminal", "name"), "TC-SIM-0001");
    EXPECT_THAT(restarts(), IsEmpty());
}

TEST_F(PlatformConfigTest, NewEnteredNameRestartsTheHostNameService) {
    record->hostNameAssignmentType = 1;
    setText(record->hostName, "TC-LOBBY-07");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Terminal", "name"), "TC-LOBBY-07");
    EXPECT_THAT(restarts(), ElementsAre(kHostNameRestart));
    EXPECT_THAT(sim::programLog(root), Contains("hostname_restart.sh"));
}

TEST_F(PlatformConfigTest, HostNameSourcesByType) {
    const char *const sources[] = {"MAC", "DHCP", "DNS"};
    for (uint32_t type = 2; type <= 4; ++type) {
        setRegistryValue(kPersistent, "Terminal", "source", "ENTERED");
        sim::clearRecordedLines();
        record = newRecord();
        record->hostNameAssignmentType = type;
        setText(record->hostName, "ignored");
        ASSERT_EQ(apply(), 0);
        EXPECT_EQ(persistent("Terminal", "source"), sources[type - 2]);
        EXPECT_EQ(persistent("Terminal", "name"), "TC-SIM-0001");
        EXPECT_THAT(restarts(), ElementsAre(kHostNameRestart)) << type;
    }
    // The same source again is no change.
    sim::clearRecordedLines();
    ASSERT_EQ(apply(), 0);
    EXPECT_THAT(restarts(), IsEmpty());
}

TEST_F(PlatformConfigTest, EnteredWithoutANameWritesNothing) {
    setRegistryValue(kPersistent, "Terminal", "source", "DHCP");
    record->hostNameAssignmentType = 1;
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Terminal", "source"), "DHCP");
    EXPECT_EQ(persistent("Terminal", "name"), "TC-SIM-0001");
    EXPECT_THAT(restarts(), IsEmpty());
}

TEST_F(PlatformConfigTest, HostNameNotSetStillAppliesTheLocale) {
    setText(record->locale, "de_DE.UTF-8");
    ASSERT_EQ(apply(), 0);
    EXPECT_THAT(support::logText(), HasSubstr("hostName not set in command"));
    EXPECT_EQ(persistent("System", "language"), "de_DE.UTF-8");
    EXPECT_THAT(restarts(), ElementsAre(kWindowManagerRestart));
    EXPECT_THAT(sim::programLog(root), Contains("rc.qvwm --no-auto-launch"));
    EXPECT_EQ(support::readFile(hostPath("/tmp/qvwm-:0.0")), "QVWM_RESTART\n");
}

TEST_F(PlatformConfigTest, HostNameTypeOutOfRangeSkipsTheLocale) {
    for (uint32_t type : {5u, 0xffffffffu}) {
        record->hostNameAssignmentType = type;
        setText(record->hostName, "TC-LOBBY-07");
        setText(record->locale, "de_DE.UTF-8");
        ASSERT_EQ(apply(), 0);
        EXPECT_EQ(persistent("Terminal", "name"), "TC-SIM-0001");
        EXPECT_EQ(persistent("System", "language"), "en_US.UTF-8");
        EXPECT_THAT(restarts(), IsEmpty());
    }
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("unexpected hostNameAssignmentType '5'"));
    EXPECT_THAT(log, HasSubstr("unexpected hostNameAssignmentType '-1'"));
    EXPECT_THAT(log, HasSubstr("error setting hostName"));
}

TEST_F(PlatformConfigTest, Utf8LocaleIsRewrittenAndComparedInAnyCase) {
    setRegistryValue(kPersistent, "System", "language", "en_us.utf-8");
    setText(record->locale, "en_US.utf8");
    ASSERT_EQ(apply(), 0);
    EXPECT_STREQ(record->locale, "en_US.UTF-8");
    EXPECT_EQ(persistent("System", "language"), "en_US.UTF-8");
    EXPECT_THAT(restarts(), IsEmpty());

    // Whatever followed ".utf8" is dropped.
    sim::clearRecordedLines();
    setText(record->locale, "de_DE.utf8@euro");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("System", "language"), "de_DE.UTF-8");
    EXPECT_THAT(restarts(), ElementsAre(kWindowManagerRestart));
}

TEST_F(PlatformConfigTest, EmptyLocaleLeavesTheLanguageAlone) {
    setRegistryValue(kPersistent, "System", "language", "fr_FR.UTF-8");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("System", "language"), "fr_FR.UTF-8");
    EXPECT_THAT(restarts(), IsEmpty());
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
    EXPECT_THAT(support::logText(), HasSubstr("error setting locale"));

    // One character shorter fits: the rewrite fills the field exactly. (The
    // registry holds no value that long, so the language stays.)
    std::string fits = std::string(1017, 'x') + ".utf8";
    setText(record->locale, fits);
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(std::string(record->locale), std::string(1017, 'x') + ".UTF-8");
    EXPECT_EQ(record->biosSize, 0xA5A5A5A5u);
    EXPECT_EQ(persistent("System", "language"), "en_US.UTF-8");
}

TEST_F(PlatformConfigTest, RestartsFollowTheNetworkCommandsInOrder) {
    record->hostNameAssignmentType = 3;
    setText(record->locale, "de_DE.utf8");
    addInterface(record.get(), {kEth0Mac, 2, ""});
    ASSERT_EQ(apply(), 0);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("/sbin/sudo su -c \"/usr/sbin/network_restart.sh eth0\"", kDnsRestart,
                            kHostNameRestart, kWindowManagerRestart));
}

TEST_F(PlatformConfigTest, AssetTagsAreWrittenInListOrder) {
    addTag(record.get(), "location", "Lobby, desk 7");
    addTag(record.get(), "owner", "Facilities");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(support::readFile(hostPath(kAssetTags)),
              "location=Lobby, desk 7\nowner=Facilities\n");
    struct stat info;
    ASSERT_EQ(stat(hostPath(kAssetTags).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_THAT(strayFiles(), IsEmpty());

    // A new configuration replaces the file whole.
    Record next = newRecord();
    addTag(next.get(), "owner", "IT");
    ASSERT_EQ(setPlatformData(next.get()), 0);
    EXPECT_EQ(support::readFile(hostPath(kAssetTags)), "owner=IT\n");
}

TEST_F(PlatformConfigTest, NoAssetTagsRemoveTheFileAndDecideTheResult) {
    support::writeFile(hostPath(kAssetTags), "old=1\n");
    // Other steps fail: an unknown interface and a host-name type out of range.
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
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("cannot replace assetTag file '/home/root/ixoAssetTags'"));
    EXPECT_THAT(log, HasSubstr("Error setting assetTags"));
    // Nothing is rolled back, and no temporary file is left behind.
    EXPECT_EQ(persistent("Terminal", "name"), "TC-LOBBY-07");
    EXPECT_THAT(strayFiles(), IsEmpty());

    // Without tags the directory cannot be removed as the tag file either.
    Record empty = newRecord();
    EXPECT_EQ(setPlatformData(empty.get()), -1);
    EXPECT_THAT(support::logText(), HasSubstr("cannot remove assetTag file"));
}

TEST_F(PlatformConfigTest, NullRecordIsRefusedBeforeAnyStep) {
    EXPECT_EQ(setPlatformData(nullptr), -1);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

}  // namespace
