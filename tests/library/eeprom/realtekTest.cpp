// Realtek-based controllers: transfers that work on the image alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

using eepromtest::bytesOf;
using eepromtest::Record;
using eepromtest::wordSum;

class RealtekTest : public eepromtest::EepromTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        writePciList(eepromtest::otherDevices() +
                     eepromtest::pciLine(0x10ec8139, 0x0000c001, "8139too"));
    }
};

TEST_F(RealtekTest, ReadsHandOutAllOnes) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_EQ(printed, "Found a RealTek RTL8139 adapter at 0xc000.\n");
    // {slot, bytes handed out}; the CMOS request returns the whole image.
    for (auto slot : std::vector<std::pair<int, int>>{{0, 12}, {1, 4}, {2, 6}, {3, 4}, {4, 2},
                                                      {5, 2}, {6, 128}}) {
        EXPECT_THAT(record.slotBytes(slot.first, slot.second), Each(0xFF)) << slot.first;
        EXPECT_EQ(record.slot(slot.first)[slot.second], 0) << slot.first;
    }
    EXPECT_TRUE(record.slotsAreZero({7}));
    // Nothing on the controller was touched.
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3));
}

TEST_F(RealtekTest, WriteLeavesItsValuesAndFreshChecksumsInTheImageOnly) {
    Record record(0x7F);
    std::memcpy(record.slot(0), "RT-SN-00042x", 12);
    std::memcpy(record.slot(1), "\x01\x02\x03\x04", 4);
    std::memcpy(record.slot(2), "\x00\x40\x63\xAA\xBB\xCC", 6);
    std::memcpy(record.slot(3), "\x05\x06\x07\x08", 4);
    record.slot(4)[0] = 0x12;  // supplied checksums are replaced
    record.slot(5)[0] = 0x34;
    for (int at = 0; at < 42; ++at) {
        record.slot(6)[at] = static_cast<unsigned char>(0x30 + at);
    }
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(eeprom_contents + 104), 12),
              std::string("RT-SN-00042") + '\xFF');
    EXPECT_EQ(bytesOf(eeprom_contents, 120, 4), record.slotBytes(1, 4));
    EXPECT_EQ(bytesOf(eeprom_contents, 14, 6), record.slotBytes(2, 6));
    EXPECT_EQ(bytesOf(eeprom_contents, 116, 4), record.slotBytes(3, 4));
    EXPECT_EQ(bytesOf(eeprom_contents, 62, 42), record.slotBytes(6, 42));
    // The active checksum (word 25) covers words 0-24, the full one (word
    // 63) words 31-61; words 26-30 and 62 are covered by neither.
    EXPECT_EQ(wordSum(eeprom_contents, 0, 25), 0u);
    EXPECT_EQ((wordSum(eeprom_contents, 31, 61) + wordSum(eeprom_contents, 63, 63)) & 0xFFFF, 0u);
    EXPECT_THAT(bytesOf(eeprom_contents, 52, 10), Each(0xFF));
    EXPECT_THAT(bytesOf(eeprom_contents, 124, 2), Each(0xFF));

    // The next transfer starts from the fill again: nothing reached the device.
    Record again(ASSET_CMOS_VALUE | ASSET_SERIAL_NUMBER);
    ASSERT_EQ(transfer(readEepromAssetValues, again), 0);
    EXPECT_THAT(again.slotBytes(6, 128), Each(0xFF));
    EXPECT_THAT(again.slotBytes(0, 12), Each(0xFF));
}

}  // namespace
