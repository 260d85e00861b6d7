// The device inventory getters on the simulated device: what each command
// line gives, the BIOS vendor lookup, the partitions of the flash and IDE
// drives, and the sizes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "agent/platformBuilders.h"
#include "ixo/assets.h"
#include "ixo/platform_data.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const char kMeminfo[] =
    "MemTotal:        1014564 kB\n"
    "MemFree:          612304 kB\n"
    "Buffers:           20412 kB\n";

const char kCpuinfo[] =
    "processor\t: 0\n"
    "vendor_id\t: CentaurHauls\n"
    "cpu family\t: 6\n"
    "model name\t: VIA Eden Processor 1000MHz\n"
    "cpu MHz\t\t: 1000.000\n"
    "cache size\t: 128 KB\n";

struct Medium {
    std::string name;
    int channel;
    int drive;
    int partition;
    int boot;
    uint32_t type;
    uint32_t start;
    uint32_t count;
    bool operator==(const Medium &other) const {
        return name == other.name && channel == other.channel && drive == other.drive &&
               partition == other.partition && boot == other.boot && type == other.type &&
               start == other.start && count == other.count;
    }
};

std::ostream &operator<<(std::ostream &out, const Medium &medium) {
    return out << medium.name << " ch" << medium.channel << " dr" << medium.drive << " p"
               << medium.partition << " boot " << medium.boot << " type " << medium.type << " "
               << medium.start << "+" << medium.count;
}

class InventoryAssetsTest : public assets_test::AssetDeviceTest {
protected:
    void SetUp() override {
        assets_test::AssetDeviceTest::SetUp();
        writeDeviceFile("/proc/meminfo", kMeminfo);
        writeDeviceFile("/proc/cpuinfo", kCpuinfo);
        // Only the drives each test lays out.
        for (const char *drive : {"/dev/sda", "/dev/hda", "/dev/hdd"}) {
            removeDeviceFile(drive);
        }
    }
    void TearDown() override {
        freePlatformData(&record);
        assets_test::AssetDeviceTest::TearDown();
    }

    std::vector<Medium> media() const {
        std::vector<Medium> list;
        for (const WriteableMediaEntry *entry = record.writeableMedia; entry != nullptr;
             entry = entry->next) {
            list.push_back({entry->deviceName, entry->ideChannel, entry->ideDrive,
                            entry->partitionNumber, entry->bootIndicator, entry->partitionType,
                            entry->startSector, entry->sectorCount});
        }
        return list;
    }

    PlatformData record{};
};

TEST_F(InventoryAssetsTest, DeviceFieldsComeFromTheirCommandLines) {
    useController("rhine");
    sim::setKnob(root, "sys.platform", "korvel\n");
    sim::setKnob(root, "sys.bios-version", "K0.9.12\n");
    ASSERT_EQ(getdeviceAsset(&record), 0);

    EXPECT_EQ(record.totalMemory, 1014564u);
    EXPECT_STREQ(record.platform, "korvel\n");
    EXPECT_STREQ(record.biosVersion, "K0.9.12\n");
    EXPECT_STREQ(record.biosName, "Insyde");
    EXPECT_STREQ(record.processorType, " CentaurHauls\n");
    EXPECT_EQ(record.processorSpeed, 1000u);
    EXPECT_EQ(std::strlen(record.securityKey), 8u);
    EXPECT_EQ(std::string(record.serialNumber, 11), "7T3C1045216");
    EXPECT_THAT(
        sim::recordedLines(),
        ElementsAre("cat /proc/meminfo | grep MemTotal | cut -d ':' -f2 | awk '{print $1}' "
                    "> /tmp/output.txt",
                    "sys get platform > /tmp/output.txt", "sys get bios-version > /tmp/output.txt",
                    " cat /proc/cpuinfo | grep vendor_id | cut -d ':' -f2 > /tmp/output.txt",
                    " cat /proc/cpuinfo | grep 'cpu MHz' | cut -d ':' -f2  > /tmp/output.txt"));
    // The last command's output stays.
    EXPECT_EQ(support::readFile(hostPath("/tmp/output.txt")), " 1000.000\n");
    EXPECT_EQ(assets_test::logCount("[3] inside getdeviceAsset"), 1);
}

TEST_F(InventoryAssetsTest, FailedSourcesLeaveTheirFallbacksAndCollectionGoesOn) {
    removeController();
    sim::setKnob(root, "sys.exit", "1");
    removeDeviceFile("/proc/meminfo");
    ASSERT_EQ(getdeviceAsset(&record), -1);
    EXPECT_EQ(record.totalMemory, 0u);
    EXPECT_STREQ(record.platform, "");
    EXPECT_STREQ(record.biosVersion, "");
    EXPECT_STREQ(record.biosName, "");
    EXPECT_STREQ(record.processorType, " CentaurHauls\n");
    EXPECT_EQ(record.processorSpeed, 1000u);
    EXPECT_STREQ(record.securityKey, "");
    EXPECT_EQ(assets_test::logCount("[3] Failed to read Security key and Serial Number"), 1);
}

int failingRunner(const char *) { return -1; }

TEST_F(InventoryAssetsTest, CommandsThatCannotRunGiveEmptyFields) {
    useController("rhine");
    std::strcpy(record.platform, "old");
    ixoSetCommandRunner(failingRunner);
    EXPECT_EQ(getdeviceAsset(&record), 0);
    uint32_t size = 77;
    EXPECT_EQ(getBiosAsset(&size), -1);
    EXPECT_EQ(size, 77u);
    getNetworkAsset(&record);
    ixoSetCommandRunner(sim::recordingRunner);
    EXPECT_EQ(record.totalMemory, 0u);
    EXPECT_STREQ(record.platform, "");
    EXPECT_STREQ(record.processorType, "");
    ASSERT_NE(record.networkList, nullptr);
    EXPECT_STREQ(record.networkList->mac, "");
}

TEST_F(InventoryAssetsTest, OutputLongerThanTheBufferIsCut) {
    removeController();
    std::string longName = "Zinth" + std::string(2000, 'Q') + "\n";
    sim::setKnob(root, "sys.platform", longName);
    getdeviceAsset(&record);
    EXPECT_EQ(std::string(record.platform), longName.substr(0, 511));
    EXPECT_STREQ(record.biosName, "Phoenix");
    EXPECT_EQ(assets_test::logCount("output of 'sys get platform' cut to 511 bytes"), 1);
}

TEST_F(InventoryAssetsTest, BiosVendorByCodenameOrModelName) {
    struct Case {
        const char *platform;
        const char *vendor;
    };
    const Case cases[] = {
        {"korvel\n", "Insyde"}, {"KORVELX 2", "Insyde"}, {"Milra", "Via"},
        {"652h zp", "Via"},     {"NPZ", "Award"},       // begins with "NP", which comes first
        {"npzclass", "Award"},  {"zclass", "Phoenix"},  // rows 9 and 13: the first wins
        {"HClass", "Phoenix"},  {"lirrane", "Insyde"},   {"Nevika-SST49LF160C", "Phoenix"},
    };
    for (const Case &check : cases) {
        char biosName[IXO_TEXT_FIELD_SIZE];
        std::strcpy(biosName, "stale");
        support::clearLog();
        getBiosName(biosName, check.platform);
        EXPECT_STREQ(biosName, check.vendor) << check.platform;
        EXPECT_EQ(support::logText(), "") << check.platform;
    }
    for (const char *unknown : {"Quasar", "N", " Korvel", "6260KE"}) {
        char biosName[IXO_TEXT_FIELD_SIZE];
        std::strcpy(biosName, "stale");
        support::clearLog();
        getBiosName(biosName, unknown);
        EXPECT_STREQ(biosName, "") << unknown;
        EXPECT_EQ(assets_test::logCount("DeviceAsset getBiosName:"), 1) << unknown;
        EXPECT_EQ(assets_test::logCount("[1] Could not find biosName"), 1) << unknown;
    }
    char biosName[IXO_TEXT_FIELD_SIZE] = "stale";
    support::clearLog();
    getBiosName(biosName, "");
    EXPECT_STREQ(biosName, "");
    std::strcpy(biosName, "stale");
    getBiosName(biosName, nullptr);
    EXPECT_STREQ(biosName, "");
    EXPECT_EQ(support::logText(), "");
}

TEST_F(InventoryAssetsTest, NetworkAssetIsOneInterfaceWithItsMac) {
    getNetworkAsset(&record);
    ASSERT_NE(record.networkList, nullptr);
    EXPECT_EQ(record.networkList->next, nullptr);
    EXPECT_STREQ(record.networkList->mac, "00:40:63:C1:2A:01\n");
    EXPECT_STREQ(record.networkList->address, "");
    EXPECT_EQ(record.networkList->interfaceType, 0u);
    EXPECT_THAT(
        sim::recordedLines(),
        ElementsAre("ifconfig | grep HWaddr | awk '{print $5}' | head -1 > /tmp/output.txt"));

    sim::setKnob(root, "ifconfig.out",
                 "lo        Link encap:Local Loopback  \n"
                 "wlan0     Link encap:Ethernet  HWaddr 00:1B:8C:2A:61:F4  \n"
                 "eth0      Link encap:Ethernet  HWaddr 00:40:63:C1:2A:09  \n");
    getNetworkAsset(&record);
    ASSERT_NE(record.networkList->next, nullptr);
    EXPECT_STREQ(record.networkList->next->mac, "00:1B:8C:2A:61:F4\n");

    sim::setKnob(root, "ifconfig.exit", "1");
    getNetworkAsset(&record);
    ASSERT_NE(record.networkList->next->next, nullptr);
    EXPECT_STREQ(record.networkList->next->next->mac, "");
}

TEST_F(InventoryAssetsTest, FlashPartitionsInTheirEntries) {
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 1048576}, {2, 0x00, 0x0B, 1050624, 20480}});
    ASSERT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre(Medium{"sdflash", 0, 0, 0, 0x80, 0x83, 2048, 1048576},
                                     Medium{"sdflash", 0, 0, 2, 0x00, 0x0B, 1050624, 20480}));
}

TEST_F(InventoryAssetsTest, FlashWithoutPartitionsIsOneEntryWithOnlyItsName) {
    writeDrive("/dev/sda", {});
    ASSERT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre(Medium{"sdflash", 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(InventoryAssetsTest, FlashThatCannotBeOpenedOrReadFully) {
    EXPECT_EQ(getSDFlashAsset(&record), 0);
    EXPECT_THAT(media(), IsEmpty());
    writeDeviceFile("/dev/sda", std::string(511, '\0'));
    EXPECT_EQ(getSDFlashAsset(&record), -1);
    EXPECT_THAT(media(), IsEmpty());
}

TEST_F(InventoryAssetsTest, IdeDrivesCarryTheirChannelAndDrive) {
    writeDrive("/dev/hda", {{1, 0x80, 0x06, 63, 1000881}});
    writeDrive("/dev/hdd", {});
    writeDrive("/dev/hdt", {{0, 0x00, 0x83, 63, 500}, {3, 0x80, 0x07, 563, 900}});
    // No signature: the entry left in the table does not count.
    writeDrive("/dev/hdk", {{0, 0x80, 0x83, 63, 1000}}, false);
    writeDeviceFile("/dev/hdm", std::string(100, '\x55'));
    ASSERT_EQ(getIdeAsset(&record), 0);
    EXPECT_THAT(media(), ElementsAre(Medium{"ide", 0, 0, 1, 0x80, 0x06, 63, 1000881},
                                     Medium{"ide", 1, 1, 0, 0, 0xFFFF, 0, 0},
                                     Medium{"ide", 5, 0, 0, 0, 0xFFFF, 0, 0},
                                     Medium{"ide", 9, 1, 0, 0x00, 0x83, 63, 500},
                                     Medium{"ide", 9, 1, 3, 0x80, 0x07, 563, 900}));
}

TEST_F(InventoryAssetsTest, BiosFlashSizeFromProcBios) {
    writeDeviceFile("/proc/bios", "BiosVendor: Phoenix\nMemorySize: 512\n");
    uint32_t size = 0;
    ASSERT_EQ(getBiosAsset(&size), 0);
    EXPECT_EQ(size, 512u * 1024u);
    EXPECT_THAT(
        sim::recordedLines(),
        ElementsAre(" grep \"MemorySize:\" < /proc/bios | cut -d \" \" -f 2 > /tmp/output.txt"));
    removeDeviceFile("/proc/bios");
    size = 7;
    EXPECT_EQ(getBiosAsset(&size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(getBiosAsset(nullptr), -1);
}

TEST_F(InventoryAssetsTest, OutputNeverGoesThroughALinkLeftInTmp) {
    writeDeviceFile("/proc/bios", "MemorySize: 256\n");
    writeDeviceFile("/home/root/victim", "precious\n");
    ASSERT_EQ(symlink("/home/root/victim", hostPath("/tmp/output.txt").c_str()), 0);
    uint32_t size = 0;
    ASSERT_EQ(getBiosAsset(&size), 0);
    EXPECT_EQ(size, 256u * 1024u);
    EXPECT_EQ(support::readFile(hostPath("/home/root/victim")), "precious\n");
    struct stat info;
    ASSERT_EQ(lstat(hostPath("/tmp/output.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(support::readFile(hostPath("/tmp/output.txt")), "256\n");
}

TEST_F(InventoryAssetsTest, RamSizeIsSysinfosTotal) {
    unsigned long total = getRamSize();
    EXPECT_GT(total, 0u);
    EXPECT_EQ(assets_test::logCount("[3] Total Ram size " + std::to_string(total)), 1);
    EXPECT_EQ(assets_test::logCount("[3] Free Ram  size "), 1);
}

TEST_F(InventoryAssetsTest, GeometryNeedsADrive) {
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 100}});
    int cylinders = -5, heads = -5, sectors = -5;
    EXPECT_EQ(getDiskGeometry("/dev/sda", &cylinders, &heads, &sectors), -1);
    EXPECT_EQ(getDiskGeometry("/dev/sdz", &cylinders, &heads, &sectors), -1);
    EXPECT_EQ(getDiskGeometry(nullptr, &cylinders, &heads, &sectors), -1);
    EXPECT_EQ(getDiskGeometry("/dev/sda", nullptr, &heads, &sectors), -1);
    EXPECT_EQ(cylinders, -5);
    uint32_t total = 9;
    EXPECT_EQ(getTotalSectorsInDrive("/dev/sda", &total), -1);
    EXPECT_EQ(getTotalSectorsInDrive("/dev/sda", nullptr), -1);
    EXPECT_EQ(total, 9u);
}

TEST_F(InventoryAssetsTest, NullRecordsAreRefused) {
    EXPECT_EQ(getdeviceAsset(nullptr), -1);
    getNetworkAsset(nullptr);
    EXPECT_EQ(getSDFlashAsset(nullptr), -1);
    EXPECT_EQ(getIdeAsset(nullptr), -1);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

}  // namespace
