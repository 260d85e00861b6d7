// JMicron end to end: the 25-byte window over the SMBus model.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using eepromtest::bytesOf;
using eepromtest::Record;

const std::string kFound = "Found a Jmicronethernet adapter at 0x2040.\n";

class JmicronTransferTest : public eepromtest::EepromTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        attachNic("jmicron");
        ASSERT_EQ(factory.size(), 256u);
    }
};

TEST_F(JmicronTransferTest, ReadTakesTheWindowAndServesOnlyTheKey) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_EQ(printed, kFound);
    EXPECT_EQ(record.slotBytes(1, 4), bytesOf(factory.data(), 0x50, 4));
    EXPECT_TRUE(record.slotsAreZero({0, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(bytesOf(eeprom_contents, 0, 25), bytesOf(factory.data(), 0x40, 25));
    EXPECT_THAT(bytesOf(eeprom_contents, 25, 103), Each(0xFF));
    // The transfer raises the privilege, the operation raises and lowers it.
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1));
    EXPECT_EQ(sim::nicStats().eepromReads, 25u);
}

TEST_F(JmicronTransferTest, WriteRewritesTheWindowWithTheNewKeyOnly) {
    // Without the key bit the window is written back as read.
    Record serial(ASSET_SERIAL_NUMBER);
    ASSERT_EQ(transfer(writeEepromAssetValues, serial), 0);
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().eepromWrites, 25u);

    Record record(ASSET_SECURITY_KEY | ASSET_SERIAL_NUMBER);
    std::memcpy(record.slot(1), "\xef\xbe\xad\xde", 4);
    std::memcpy(record.slot(0), "IGNOREDSERI", 11);
    unsigned long before = sim::delayUnits();
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    std::vector<uint8_t> expected = factory;
    std::memcpy(expected.data() + 0x50, "\xef\xbe\xad\xde", 4);
    EXPECT_EQ(sim::nicEeprom(root), expected);
    EXPECT_EQ(sim::nicStats().eepromWrites, 50u);
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1, 3, 1, 3, 3, 1, 3, 1));
    // 4200 units of write time after each of the 25 bytes.
    EXPECT_GE(sim::delayUnits() - before, 25u * 4200);
}

TEST_F(JmicronTransferTest, FailedReadsFillNoSlotAndWriteNothing) {
    // {fault, printed for each of the 25 bytes}; "refuse": the EEPROM
    // acknowledges nothing, so no byte counts as read.
    for (auto c : std::vector<std::pair<const char *, std::string>>{
             {"busy", "return from  smb_busy \n"}, {"timeout", "return from  smb_finish \n"},
             {"refuse", ""}}) {
        SCOPED_TRACE(c.first);
        sim::resetPortBus();
        std::string error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        sim::setNicFault(c.first);
        std::string expected = kFound;
        for (int byte = 0; byte < 25; ++byte) {
            expected += c.second;
        }

        Record record(ASSET_SECURITY_KEY);
        EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
        EXPECT_EQ(printed, expected);
        Record read(ASSET_SECURITY_KEY);
        EXPECT_EQ(transfer(readEepromAssetValues, read), -1);
        EXPECT_EQ(printed, expected);
        EXPECT_TRUE(read.slotsAreZero({1}));
        EXPECT_EQ(sim::nicEeprom(root), factory);
        EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
        // Reads only: the write operation never raised the privilege.
        EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1, 3, 3, 1));
    }
}

TEST_F(JmicronTransferTest, WriteOperationTriesEveryUnacknowledgedByte) {
    sim::setNicFault("refuse");
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memcpy(image, factory.data() + 0x40, 25);
    sim::clearNicOperations();
    EXPECT_EQ(write_eeprom_jmicron(0x2040, image), 0);
    std::vector<std::string> operations = sim::nicOperations();
    ASSERT_EQ(operations.size(), 25u);
    EXPECT_THAT(operations, Each(HasSubstr("nack")));
    EXPECT_THAT(operations.front(), HasSubstr("0x40"));
    EXPECT_THAT(operations.back(), HasSubstr("0x58"));
    // Each byte waits out the write time although it was refused.
    EXPECT_GE(sim::delayUnits(), 25u * (36 + 4200));
    EXPECT_EQ(sim::nicEeprom(root), factory);
}

}  // namespace
