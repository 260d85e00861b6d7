// The identification that reads the device: maker and model, the TPM flag,
// the OEM strings through dmidecode, the fixed drive and the platform type
// its partition table gives.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ixo/assets.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

namespace {

class IdentificationTest : public assets_test::AssetDeviceTest {
protected:
    std::vector<std::string> tmpEntries() {
        std::vector<std::string> names;
        DIR *dir = opendir(hostPath("/tmp").c_str());
        if (dir == nullptr) {
            return names;
        }
        while (dirent *entry = readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        closedir(dir);
        return names;
    }
};

TEST_F(IdentificationTest, NorvBrandNeedsTheMakerAndOneOfTwoModels) {
    struct Case {
        const char *maker;
        const char *model;
        int expected;
    };
    const Case cases[] = {
        {"Norv", "Lumora KT-4120", 1},
        {"Norv", "Lumora KT-4080", 1},
        {"Norvelle Systems", "Lumora KT-4120 rev B", 1},
        {"norv", "Lumora KT-4120", 0},
        {"Norv", "Lumora KT-4100", 0},
        {"Norv", "lumora KT-4120", 0},
        {"Nor", "Lumora KT-4120", 0},
        {"TYVO", "Lumora KT-4080", 0},
    };
    for (const Case &check : cases) {
        setMakerAndModel(check.maker, check.model);
        EXPECT_EQ(isThisNorvPlatform(), check.expected) << check.maker << " / " << check.model;
    }
    removeDeviceFile("/sys/class/dmi/id/sys_vendor");
    removeDeviceFile("/sys/class/dmi/id/product_name");
    EXPECT_EQ(isThisNorvPlatform(), 0);
}

TEST_F(IdentificationTest, TpmFlagIsTheSecondCharacter) {
    struct Case {
        std::vector<std::string> oem;
        int expected;
    };
    const Case cases[] = {
        {{"tpm=01"}, 1},
        {{"tpm=11"}, 1},
        {{"tpm=10"}, 0},
        {{"tpm=1"}, 0},
        {{"tpm=00"}, 0},
        {{"tyvo-securitykey=12345678", "tpm=21 and more text"}, 1},
        {{"tyvo-securitykey=12345678"}, 0},
        {{}, 0},
    };
    for (const Case &check : cases) {
        setOemStrings(check.oem);
        support::clearLog();
        EXPECT_EQ(isTPMPresent(), check.expected) << (check.oem.empty() ? "" : check.oem.back());
        std::vector<std::string> messages = assets_test::logMessages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages.front(), "Going to read tpm value");
        EXPECT_THAT(messages.back(), HasSubstr("TPM string is "));
    }
    setOemStrings({"tpm=X1"});
    support::clearLog();
    EXPECT_EQ(isTPMPresent(), 1);
    EXPECT_EQ(assets_test::logCount("[3] TPM string is X1"), 1);
    // A longer string is cut to the 12-byte buffer, terminated.
    setOemStrings({"tpm=01234567890123456789"});
    support::clearLog();
    EXPECT_EQ(isTPMPresent(), 1);
    EXPECT_EQ(assets_test::logCount("[3] TPM string is 01234567890\n"), 1);
}

TEST_F(IdentificationTest, CiscoIsFoundInTheOemStringsThroughAPrivateCapture) {
    std::vector<std::string> before = tmpEntries();
    setOemStrings({"Cisco Systems, Inc.", "tpm=01"});
    support::clearLog();
    EXPECT_EQ(is_Cisco_device(), 1);
    EXPECT_EQ(assets_test::logCount("[1] Reading smbios"), 1);
    std::vector<std::string> lines = sim::recordedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], MatchesRegex("dmidecode -t 11 > /tmp/device_details\\.[A-Za-z0-9]{6}"));
    EXPECT_THAT(sim::programLog(root), ElementsAre("dmidecode -t 11"));
    // The capture is gone again, and nothing went to the write-filtered root.
    EXPECT_EQ(tmpEntries(), before);
    EXPECT_FALSE(support::exists(hostPath("/bin/device_details")));

    setOemStrings({"cisco systems", "tpm=01"});
    EXPECT_EQ(is_Cisco_device(), 0);
    setOemStrings({"Built for NetCiscoWorks"});
    EXPECT_EQ(is_Cisco_device(), 1);
    setOemStrings({});
    EXPECT_EQ(is_Cisco_device(), 0);
    EXPECT_EQ(tmpEntries(), before);
}

TEST_F(IdentificationTest, CiscoIsNoWhenDmidecodeFailsOrCannotRun) {
    setOemStrings({"Cisco Systems, Inc."});
    sim::setKnob(root, "dmidecode.exit", "1");
    EXPECT_EQ(is_Cisco_device(), 0);
    sim::removeKnob(root, "dmidecode.exit");

    // No /tmp on the device: no capture can be made.
    support::removeTree(hostPath("/tmp"));
    EXPECT_EQ(is_Cisco_device(), 0);
    EXPECT_EQ(sim::recordedLines().size(), 1u);
}

TEST_F(IdentificationTest, FixedDriveNameIsTheFirstWord) {
    writeDeviceFile("/tmp/FixedDevice", "  \n\thdc  sda\n");
    support::clearLog();
    fixedDrive();
    EXPECT_STREQ(fixedDriveName, "hdc");
    EXPECT_THAT(assets_test::logMessages(),
                ElementsAre("Fixed Drive Name: ", "Fixed Drive Name: hdc"));

    writeDeviceFile("/tmp/FixedDevice", std::string(300, 'x'));
    fixedDrive();
    EXPECT_EQ(std::string(fixedDriveName), std::string(127, 'x'));
    EXPECT_EQ(fixedDriveName[127], '\0');

    removeDeviceFile("/tmp/FixedDevice");
    support::clearLog();
    fixedDrive();
    EXPECT_STREQ(fixedDriveName, "");
    EXPECT_THAT(assets_test::logMessages(),
                ElementsAre("Fixed Drive Name: ", "Error while opening file."));

    writeDeviceFile("/tmp/FixedDevice", "");
    fixedDrive();
    EXPECT_STREQ(fixedDriveName, "");
}

TEST_F(IdentificationTest, PlatformTypeFromTheFixedDrivesPartitionTable) {
    struct Case {
        uint8_t first;
        uint8_t second;
        int expected;
    };
    const Case cases[] = {
        {0x52, 0x07, 1}, {0x52, 0x0B, 2}, {0x52, 0x83, 2}, {0x52, 0x0C, 0},
        {0x52, 0x00, 0}, {0x0B, 0x07, 3}, {0x0B, 0x00, 3}, {0x83, 0x52, 4},
        {0x83, 0x00, 4}, {0x07, 0x52, 0}, {0x00, 0x83, 0}, {0x0C, 0x83, 0},
    };
    writeDeviceFile("/tmp/FixedDevice", "hdb\n");
    for (const Case &check : cases) {
        std::vector<sim::PartitionEntry> entries = {{0, 0x80, check.first, 63, 1000}};
        if (check.second != 0) {
            entries.push_back({1, 0x00, check.second, 1063, 1000});
        }
        writeDrive("/dev/hdb", entries);
        EXPECT_EQ(getPlatformType(), check.expected)
            << std::hex << int(check.first) << " " << int(check.second);
        EXPECT_STREQ(fixedDriveName, "hdb");
    }
}

TEST_F(IdentificationTest, PlatformTypeIsZeroWhenTheDriveCannotBeRead) {
    removeDeviceFile("/tmp/FixedDevice");
    support::clearLog();
    EXPECT_EQ(getPlatformType(), 0);
    EXPECT_EQ(assets_test::logCount("[3] Error Open Device -1"), 1);

    writeDeviceFile("/tmp/FixedDevice", "sdq\n");
    support::clearLog();
    EXPECT_EQ(getPlatformType(), 0);
    EXPECT_EQ(assets_test::logCount("[3] Error Open Device -1"), 1);

    writeDeviceFile("/tmp/FixedDevice", "sdq\n");
    writeDeviceFile("/dev/sdq", std::string(300, '\0'));
    support::clearLog();
    EXPECT_EQ(getPlatformType(), 0);
    EXPECT_EQ(assets_test::logCount("[1] Can't read the device."), 1);
}

// Without the power to override file permissions, a drive only the owner
// may write can still be classified: it is opened read-only.
TEST_F(IdentificationTest, PlatformTypeOpensTheDriveReadOnly) {
    writeDeviceFile("/tmp/FixedDevice", "sda\n");
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 4096}});
    ASSERT_EQ(chmod(hostPath("/dev/sda").c_str(), 0444), 0);
    pid_t child = fork();
    if (child == 0) {
        __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capset, &header, data) != 0) {
            _exit(100);
        }
        _exit(getPlatformType());
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
}

TEST_F(IdentificationTest, TheSimulatedPlatformsHaveTheirLayouts) {
    const std::pair<const char *, int> platforms[] = {
        {"Zinth", 4}, {"Tavorin", 1}, {"nevika-sst49lf160c", 2}, {"Korvel", 3}, {"Lirrane", 4}};
    for (const auto &[name, type] : platforms) {
        std::string error;
        ASSERT_TRUE(sim::setPlatform(root, name, &error)) << error;
        EXPECT_EQ(getPlatformType(), type) << name;
    }
    EXPECT_EQ(isThisNorvPlatform(), 1);
    std::string error;
    EXPECT_FALSE(sim::setPlatform(root, "Quasar", &error));
    EXPECT_THAT(error, HasSubstr("Quasar"));
}

}  // namespace
