// Collecting the whole record: the getters' order, clearing, the platform's
// sizes by codename prefix.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "ixo/assets.h"
#include "ixo/platform.h"
#include "tests/support/assetsTestSupport.h"

using ::testing::ElementsAre;

namespace {

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
    EXPECT_STREQ(record.biosName, "Phoenix");
    EXPECT_STREQ(record.processorType, " CentaurHauls\n");
    EXPECT_EQ(record.processorSpeed, 1000u);
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
}

}  // namespace
