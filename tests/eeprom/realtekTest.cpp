// Realtek-based controllers: transfers that work on the image alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/eeprom/eepromTestSupport.h"

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

using eepromtest::Record;

class RealtekTest : public eepromtest::EepromTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        writePciList(eepromtest::otherDevices() +
                     eepromtest::pciLine(0x10ec8139, 0x0000c001, "8139too"));
    }
    int transfer(int (*operation)(unsigned char *), Record &record) {
        return eepromtest::capturedTransfer(operation, record, &printed);
    }
    std::string printed;
};

TEST_F(RealtekTest, ReadsHandOutAllOnes) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_EQ(printed, "Found a RealTek RTL8139 adapter at 0xc000.\n");
    EXPECT_THAT(record.slotBytes(0, 12), Each(0xFF));
    EXPECT_EQ(record.slot(0)[12], 0);
    EXPECT_THAT(record.slotBytes(1, 4), Each(0xFF));
    EXPECT_THAT(record.slotBytes(2, 6), Each(0xFF));
    EXPECT_EQ(record.slot(2)[6], 0);
    EXPECT_THAT(record.slotBytes(3, 4), Each(0xFF));
    EXPECT_THAT(record.slotBytes(4, 2), Each(0xFF));
    EXPECT_THAT(record.slotBytes(5, 2), Each(0xFF));
    // The CMOS request returns the whole image.
    EXPECT_THAT(record.slotBytes(6, 128), Each(0xFF));
    EXPECT_EQ(record.slot(6)[128], 0);
    EXPECT_TRUE(record.slotIsZero(7));
    // Nothing on the controller was touched.
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3));
}

TEST_F(RealtekTest, WriteLeavesItsValuesAndChecksumsInTheImageOnly) {
    Record record(ASSET_CMOS_VALUE | ASSET_SERIAL_NUMBER | ASSET_ACTIVE_CHECKSUM |
                  ASSET_FULL_CHECKSUM);
    for (int at = 0; at < 42; ++at) {
        record.slot(6)[at] = static_cast<unsigned char>(0x30 + at);
    }
    std::memcpy(record.slot(0), "RT-SN-00042x", 12);
    record.slot(4)[0] = 0x12;
    record.slot(5)[0] = 0x34;
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    EXPECT_EQ(sim::portAccesses(), 0u);
    for (int at = 0; at < 42; ++at) {
        EXPECT_EQ(eeprom_contents[62 + at], 0x30 + at) << at;
    }
    EXPECT_EQ(std::string(reinterpret_cast<char *>(eeprom_contents + 104), 12),
              std::string("RT-SN-00042") + '\xFF');
    // The supplied checksums are replaced by computed ones.
    EXPECT_EQ(eepromtest::wordSum(eeprom_contents, 0, 25), 0u);
    EXPECT_EQ((eepromtest::wordSum(eeprom_contents, 31, 61) +
               eepromtest::wordSum(eeprom_contents, 63, 63)) & 0xFFFF,
              0u);
    // Word 62 and words 26-30 are covered by neither.
    EXPECT_EQ(eeprom_contents[124], 0xFF);
    EXPECT_EQ(eeprom_contents[52], 0xFF);

    // The next transfer starts from the fill again: nothing reached the device.
    Record again(ASSET_CMOS_VALUE | ASSET_SERIAL_NUMBER);
    ASSERT_EQ(transfer(readEepromAssetValues, again), 0);
    EXPECT_THAT(again.slotBytes(6, 128), Each(0xFF));
    EXPECT_THAT(again.slotBytes(0, 12), Each(0xFF));
}

TEST_F(RealtekTest, WriteMergesEachBitIntoItsPlace) {
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memset(image, 0, sizeof image);
    Record record(0x0E);
    std::memcpy(record.slot(1), "\x01\x02\x03\x04", 4);
    std::memcpy(record.slot(2), "\x00\x40\x63\xAA\xBB\xCC", 6);
    std::memcpy(record.slot(3), "\x05\x06\x07\x08", 4);
    EXPECT_EQ(writeRtlEeprom(0xc000, image, record.data()), 1);
    EXPECT_EQ(std::vector<uint8_t>(image + 120, image + 124), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<uint8_t>(image + 14, image + 20),
              (std::vector<uint8_t>{0x00, 0x40, 0x63, 0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(std::vector<uint8_t>(image + 116, image + 120), (std::vector<uint8_t>{5, 6, 7, 8}));
    // Words 0-24 hold 0x4000, 0xAA63, 0xCCBB: word 25 is their negation.
    unsigned int sum = (0x4000 + 0xAA63 + 0xCCBB) & 0xFFFF;
    EXPECT_EQ(image[50] | (image[51] << 8), (0x10000 - sum) & 0xFFFF);
    EXPECT_EQ(eepromtest::wordSum(image, 31, 61) + (image[126] | (image[127] << 8)), 0x10000u);
}

TEST_F(RealtekTest, SimulatedRealtekBoardKeepsItsEeprom) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "realtek", &error)) << error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    std::vector<uint8_t> factory = sim::nicEeprom(root);
    ASSERT_EQ(factory.size(), 128u);

    Record record(ASSET_SECURITY_KEY | ASSET_SERIAL_NUMBER);
    std::memcpy(record.slot(1), "\x01\x02\x03\x04", 4);
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    EXPECT_EQ(printed.rfind("Found a RealTek", 0), 0u) << printed;
    EXPECT_EQ(sim::nicEeprom(root), factory);

    Record back(ASSET_SECURITY_KEY);
    ASSERT_EQ(transfer(readEepromAssetValues, back), 0);
    EXPECT_THAT(back.slotBytes(1, 4), Each(0xFF));
}

}  // namespace
