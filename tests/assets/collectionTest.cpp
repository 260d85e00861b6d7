// Collecting the whole record: the getters' order, clearing, the platform's
// sizes by codename prefix.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "agent/platformBuilders.h"
#include "ixo/assets.h"
#include "ixo/platform.h"
#include "ixo/platform_data.h"
#include "sim/sim.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class CollectionTest : public assets_test::AssetDeviceTest {
protected:
    void TearDown() override {
        freePlatformData(&record);
        assets_test::AssetDeviceTest::TearDown();
    }
    PlatformData record{};
};

TEST_F(CollectionTest, SizesFromTheFirstRowWhoseCodenameBeginsThePlatform) {
    struct Case {
        const char *platform;
        uint32_t bios;
        uint32_t eeprom;
        uint32_t cmos;
    };
    const Case cases[] = {
        {"korvel and more", 262144, 114, 128},
        {"KORVEL", 262144, 114, 128},
        {"NPE", 524288, 114, 128},
        {"NPZ", 524288, 114, 128},
        {"Nevika-SST49LF160C", 2097152, 512, 128},
        {"nevika-sst49lf160c rev 2", 2097152, 512, 128},
        {"Nevika-SST49LF080A", 1048576, 512, 128},
        {"Nevika", 1048576, 512, 128},
        {"Lirrane\n", 2097152, 256, 128},
        {"Zinth", 1048576, 512, 128},
    };
    for (const Case &check : cases) {
        record = PlatformData{};
        std::strcpy(record.platform, check.platform);
        EXPECT_EQ(getBiosEepromCmosAsset(&record), 0) << check.platform;
        EXPECT_EQ(record.biosSize, check.bios) << check.platform;
        EXPECT_EQ(record.eepromSize, check.eeprom) << check.platform;
        EXPECT_EQ(record.cmosSize, check.cmos) << check.platform;
    }
}

TEST_F(CollectionTest, UnknownOrEmptyPlatformKeepsTheSizes) {
    for (const char *platform : {"", "Quasar", "6260 KE", " Korvel", "Nevik"}) {
        record.biosSize = 1;
        record.eepromSize = 2;
        record.cmosSize = 3;
        std::strcpy(record.platform, platform);
        support::clearLog();
        EXPECT_EQ(getBiosEepromCmosAsset(&record), -1) << platform;
        EXPECT_EQ(record.biosSize, 1u);
        EXPECT_EQ(record.eepromSize, 2u);
        EXPECT_EQ(record.cmosSize, 3u);
        EXPECT_EQ(assets_test::logCount("DeviceAsset getBiosEepromCmosAsset:"), 1);
        EXPECT_EQ(assets_test::logCount("[4] Unknown Platform type"), 1);
    }
    EXPECT_EQ(getBiosEepromCmosAsset(nullptr), -1);
}

TEST_F(CollectionTest, NullRecordIsRefusedAndNothingRuns) {
    support::clearLog();
    EXPECT_EQ(getPlatformData(nullptr), -1);
    EXPECT_EQ(assets_test::logCount("DeviceAsset getPlatformData:"), 1);
    EXPECT_EQ(assets_test::logCount("[1] Null platformData passed in"), 1);
    EXPECT_TRUE(sim::recordedLines().empty());
}

TEST_F(CollectionTest, CollectsInOrderIntoAClearedRecord) {
    useController("velocity");
    std::string error;
    ASSERT_TRUE(sim::setPlatform(root, "Nevika-SST49LF160C", &error)) << error;
    std::strcpy(record.hostName, "left-over");
    std::strcpy(record.locale, "de_DE.UTF-8");
    record.hostNameAssignmentType = 1;

    ASSERT_EQ(getPlatformData(&record), 0);

    EXPECT_STREQ(record.hostName, "");
    EXPECT_STREQ(record.locale, "");
    EXPECT_EQ(record.hostNameAssignmentType, 0u);
    EXPECT_STREQ(record.platform, "Nevika-SST49LF160C\n");
    EXPECT_STREQ(record.biosVersion, "H2.3.1\n");
    EXPECT_STREQ(record.biosName, "Phoenix");
    EXPECT_EQ(record.biosSize, 2097152u);
    EXPECT_EQ(record.eepromSize, 512u);
    EXPECT_EQ(record.cmosSize, 128u);
    EXPECT_GT(record.totalMemory, 0u);
    EXPECT_EQ(std::string(record.serialNumber, 11), "7T5V2087341");
    EXPECT_EQ(std::strlen(record.securityKey), 8u);

    // Exactly one interface, with only its MAC.
    ASSERT_NE(record.networkList, nullptr);
    EXPECT_EQ(record.networkList->next, nullptr);
    EXPECT_STREQ(record.networkList->mac, "00:40:63:C1:2A:01\n");
    NetworkInterface blank;
    std::memset(&blank, 0, sizeof blank);
    std::strcpy(blank.mac, record.networkList->mac);
    EXPECT_EQ(std::memcmp(&blank, record.networkList, sizeof blank), 0);

    // Device, network, IDE, then flash.
    std::vector<std::string> lines = sim::recordedLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_THAT(lines[1], HasSubstr("sys get platform"));
    EXPECT_THAT(lines[5], HasSubstr("ifconfig"));
    std::vector<std::string> names;
    for (const WriteableMediaEntry *entry = record.writeableMedia; entry != nullptr;
         entry = entry->next) {
        names.push_back(std::string(entry->deviceName) + ":" +
                        std::to_string(entry->partitionNumber));
    }
    EXPECT_THAT(names, ElementsAre("ide:0", "ide:0", "sdflash:0", "sdflash:1"));
}

TEST_F(CollectionTest, AFailedSourceDoesNotStopTheCollection) {
    removeController();
    sim::setKnob(root, "sys.platform", "Quasar\n");
    removeDeviceFile("/dev/sda");
    ASSERT_EQ(getPlatformData(&record), 0);
    EXPECT_STREQ(record.serialNumber, "");
    EXPECT_STREQ(record.securityKey, "");
    EXPECT_STREQ(record.biosName, "");
    EXPECT_EQ(record.biosSize, 0u);
    EXPECT_EQ(record.eepromSize, 0u);
    ASSERT_NE(record.networkList, nullptr);
    EXPECT_STREQ(record.networkList->mac, "00:40:63:C1:2A:01\n");
    ASSERT_NE(record.writeableMedia, nullptr);
    EXPECT_STREQ(record.writeableMedia->deviceName, "ide");
    EXPECT_EQ(assets_test::logCount("[1] Could not find biosName"), 1);
    EXPECT_EQ(assets_test::logCount("[4] Unknown Platform type"), 1);
}

}  // namespace
