// The device inventory getters on the simulated device: what each command
// line gives, the BIOS vendor lookup, the partitions of the flash and IDE
// drives, and the sizes.
// Collecting the whole record: the getters' order, clearing, the platform's
// sizes by codename prefix.
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ixo/assets.h"
#include "ixo/platform.h"
#include "ixo/seams.h"
#include "tests/support/assetsTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class InventoryAssetsTest : public assets_test::AssetDeviceTest {
protected:
    void SetUp() override {
        assets_test::AssetDeviceTest::SetUp();
        writeDeviceFile("/proc/meminfo", "MemTotal:        1014564 kB\nMemFree:  612304 kB\n");
        writeDeviceFile("/proc/cpuinfo",
                        "processor\t: 0\nvendor_id\t: CentaurHauls\ncpu MHz\t\t: 1000.000\n");
        // Only the drives each test lays out.
        for (const char *drive : {"/dev/sda", "/dev/hda", "/dev/hdd"}) {
            removeDeviceFile(drive);
        }
    }
    // Each entry as "name channel/drive partition boot type start+count".
    std::vector<std::string> media() const {
        std::vector<std::string> list;
        char text[128];
        for (const WriteableMediaEntry *entry = record.writeableMedia; entry != nullptr;
             entry = entry->next) {
            std::snprintf(text, sizeof text, "%.32s %d/%d %d %02X %X %u+%u", entry->deviceName,
                          entry->ideChannel, entry->ideDrive, entry->partitionNumber,
                          entry->bootIndicator, entry->partitionType, entry->startSector,
                          entry->sectorCount);
            list.emplace_back(text);
        }
        return list;
    }
};

int failingRunner(const char *) { return -1; }

// A failing source leaves its fallback and collection goes on; a command that
// cannot run at all gives an empty field; a longer output is cut to its buffer.
TEST_F(InventoryAssetsTest, FailedSourcesLeaveTheirFallbacksAndCollectionGoesOn) {
    removeController();
    std::string longName = "Zinth" + std::string(2000, 'Q') + "\n";
    sim::setKnob(root, "sys.platform", longName);
    removeDeviceFile("/proc/meminfo");
    ASSERT_EQ(getdeviceAsset(&record), -1);
    EXPECT_EQ(record.totalMemory, 0u);
    EXPECT_EQ(std::string(record.platform), longName.substr(0, 511));
    EXPECT_STREQ(record.biosName, "Phoenix");
    EXPECT_STREQ(record.processorType, " CentaurHauls\n");
    EXPECT_EQ(record.processorSpeed, 1000u);
    EXPECT_STREQ(record.securityKey, "");
    sim::setKnob(root, "sys.exit", "1");
    ASSERT_EQ(getdeviceAsset(&record), -1);
    EXPECT_STREQ(record.platform, "");
    EXPECT_STREQ(record.biosVersion, "");
    EXPECT_STREQ(record.biosName, "");

    useController("rhine");
    std::strcpy(record.platform, "old");
    ixoSetCommandRunner(failingRunner);
    EXPECT_EQ(getdeviceAsset(&record), 0);
    uint32_t size = 77;
    EXPECT_EQ(getBiosAsset(&size), -1);
    EXPECT_EQ(size, 77u);
    getNetworkAsset(&record);
    ixoSetCommandRunner(sim::recordingRunner);
    EXPECT_STREQ(record.platform, "");
    EXPECT_STREQ(record.processorType, "");
    ASSERT_NE(record.networkList, nullptr);
    EXPECT_STREQ(record.networkList->mac, "");
}

TEST_F(InventoryAssetsTest, BiosVendorByCodenameOrModelName) {
    // By codename (any case) or by model name; the first row that matches wins.
    const std::pair<const char *, const char *> cases[] = {
        {"KORVELX 2", "Insyde"}, {"652h zp", "Via"}, {"npzclass", "Award"}, {"zclass", "Phoenix"},
        {"Quasar", ""},          {" Korvel", ""},    {"", ""},              {nullptr, ""},
    };
    for (const auto &[platform, vendor] : cases) {
        SCOPED_TRACE(platform != nullptr ? platform : "null");
        char biosName[IXO_TEXT_FIELD_SIZE] = "stale";
        getBiosName(biosName, platform);
        EXPECT_STREQ(biosName, vendor);
    }
}

TEST_F(InventoryAssetsTest, FlashPartitionsInTheirEntries) {
    // No drive: nothing, and no failure.
    EXPECT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), IsEmpty());
    writeDeviceFile("/dev/sda", std::string(511, '\0'));
    EXPECT_EQ(getSDFlashAsset(&record), -1);
    EXPECT_THAT(media(), IsEmpty());

    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 1048576}, {2, 0x00, 0x0B, 1050624, 20480}});
    ASSERT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre("sdflash 0/0 0 80 83 2048+1048576",
                                     "sdflash 0/0 2 00 B 1050624+20480"));
    freePlatformData(&record);

    // Without partitions: one entry with only its name.
    writeDrive("/dev/sda", {});
    ASSERT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre("sdflash 0/0 0 00 0 0+0"));
}

TEST_F(InventoryAssetsTest, IdeDrivesCarryTheirChannelAndDrive) {
    writeDrive("/dev/hda", {{1, 0x80, 0x06, 63, 1000881}});
    writeDrive("/dev/hdd", {});
    writeDrive("/dev/hdt", {{0, 0x00, 0x83, 63, 500}, {3, 0x80, 0x07, 563, 900}});
    // No signature: the entry left in the table does not count.
    writeDrive("/dev/hdk", {{0, 0x80, 0x83, 63, 1000}}, false);
    writeDeviceFile("/dev/hdm", std::string(100, '\x55'));
    ASSERT_EQ(getIdeAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre("ide 0/0 1 80 6 63+1000881", "ide 1/1 0 00 FFFF 0+0",
                                     "ide 5/0 0 00 FFFF 0+0", "ide 9/1 0 00 83 63+500",
                                     "ide 9/1 3 80 7 563+900"));
}

TEST_F(InventoryAssetsTest, BiosFlashSizeFromProcBiosNeverThroughALinkLeftInTmp) {
    writeDeviceFile("/proc/bios", "BiosVendor: Phoenix\nMemorySize: 512\n");
    writeDeviceFile("/home/root/victim", "precious\n");
    ASSERT_EQ(symlink("/home/root/victim", hostPath("/tmp/output.txt").c_str()), 0);
    uint32_t size = 0;
    ASSERT_EQ(getBiosAsset(&size), 0);
    EXPECT_EQ(size, 512u * 1024u);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre(" grep \"MemorySize:\" < /proc/bios | cut -d \" \" -f 2 > "
                            "/tmp/output.txt"));
    EXPECT_EQ(support::readFile(hostPath("/home/root/victim")), "precious\n");
    struct stat info;
    ASSERT_EQ(lstat(hostPath("/tmp/output.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));

    removeDeviceFile("/proc/bios");
    size = 7;
    EXPECT_EQ(getBiosAsset(&size), 0);
    EXPECT_EQ(size, 0u);
}

TEST_F(InventoryAssetsTest, RamSizeIsSysinfosTotal) {
    struct sysinfo info {};
    ASSERT_EQ(sysinfo(&info), 0);
    EXPECT_EQ(getRamSize(), info.totalram);
}

TEST_F(InventoryAssetsTest, GeometryNeedsADrive) {
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 100}});
    int cylinders = -5, heads = -5, sectors = -5;
    EXPECT_EQ(getDiskGeometry("/dev/sda", &cylinders, &heads, &sectors), -1);
    EXPECT_EQ(getDiskGeometry("/dev/sdz", &cylinders, &heads, &sectors), -1);
    EXPECT_EQ(cylinders, -5);
    uint32_t total = 9;
    EXPECT_EQ(getTotalSectorsInDrive("/dev/sda", &total), -1);
    EXPECT_EQ(total, 9u);
}

using CollectionTest = assets_test::AssetDeviceTest;

TEST_F(CollectionTest, SizesFromTheFirstRowWhoseCodenameBeginsThePlatform) {
    const std::tuple<const char *, int, uint32_t, uint32_t, uint32_t> cases[] = {
        {"korvel and more", 0, 262144, 114, 128},
        {"NPZ", 0, 524288, 114, 128},  // the row "NP" comes first
        {"nevika-sst49lf160c rev 2", 0, 2097152, 512, 128},
        {"Nevika", 0, 1048576, 512, 128},
        {"Lirrane\n", 0, 2097152, 256, 128},
        // Unknown or empty: the sizes stay. A model name is no codename.
        {"", -1, 1, 2, 3}, {"6260 KE", -1, 1, 2, 3}, {" Korvel", -1, 1, 2, 3},
        {"Nevik", -1, 1, 2, 3}};
    for (const auto &[platform, result, bios, eeprom, cmos] : cases) {
        SCOPED_TRACE(platform);
        record.biosSize = 1;
        record.eepromSize = 2;
        record.cmosSize = 3;
        std::strcpy(record.platform, platform);
        EXPECT_EQ(getBiosEepromCmosAsset(&record), result);
        EXPECT_EQ(record.biosSize, bios);
        EXPECT_EQ(record.eepromSize, eeprom);
        EXPECT_EQ(record.cmosSize, cmos);
    }
}

TEST_F(CollectionTest, CollectsEachFieldFromItsLineInOrderIntoAClearedRecord) {
    useController("velocity");
    std::string error;
    ASSERT_TRUE(sim::setPlatform(root, "nevika-sst49lf160c", &error)) << error;
    writeDeviceFile("/proc/meminfo", "MemTotal:        1014564 kB\nMemFree:  612304 kB\n");
    writeDeviceFile("/proc/cpuinfo",
                    "processor\t: 0\nvendor_id\t: CentaurHauls\ncpu MHz\t\t: 1000.000\n");
    std::strcpy(record.hostName, "left-over");
    std::strcpy(record.locale, "de_DE.UTF-8");
    record.hostNameAssignmentType = 1;

    ASSERT_EQ(getPlatformData(&record), 0);

    EXPECT_STREQ(record.hostName, "");
    EXPECT_STREQ(record.locale, "");
    EXPECT_EQ(record.hostNameAssignmentType, 0u);
    // Outputs are kept as printed, line break included.
    EXPECT_EQ(record.totalMemory, 1014564u);
    EXPECT_STREQ(record.platform, "Nevika-SST49LF160C\n");
    EXPECT_STREQ(record.biosVersion, "H2.3.1\n");
    EXPECT_EQ(std::string(record.serialNumber, 11), "7T5V2087341");
    // The sizes come last, from the platform read first.
    EXPECT_EQ(record.biosSize, 2097152u);
    EXPECT_EQ(getPlatformType(), 2);

    // Exactly one interface, with only its MAC.
    ASSERT_NE(record.networkList, nullptr);
    NetworkInterface blank;
    std::memset(&blank, 0, sizeof blank);
    std::strcpy(blank.mac, "00:40:63:C1:2A:01\n");
    EXPECT_EQ(std::memcmp(&blank, record.networkList, sizeof blank), 0);

    // Device, then network (its output is the one left), IDE, then flash.
    EXPECT_EQ(sim::recordedLines().size(), 6u);
    std::vector<std::string> names;
    for (const WriteableMediaEntry *entry = record.writeableMedia; entry != nullptr;
         entry = entry->next) {
        names.push_back(std::string(entry->deviceName) + ":" +
                        std::to_string(entry->partitionNumber));
    }
    EXPECT_THAT(names, ElementsAre("ide:0", "ide:0", "sdflash:0", "sdflash:1"));
    EXPECT_EQ(support::readFile(hostPath("/tmp/output.txt")), "00:40:63:C1:2A:01\n");
    // Another network asset is added after it.
    getNetworkAsset(&record);
    ASSERT_NE(record.networkList->next, nullptr);
    EXPECT_STREQ(record.networkList->next->mac, "00:40:63:C1:2A:01\n");
}

}  // namespace
