// JMicron end to end: the 25-byte window over the SMBus model.
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
using ::testing::HasSubstr;

namespace {

using eepromtest::Record;

class JmicronTransferTest : public eepromtest::EepromTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        factory = sim::nicEeprom(root);
        ASSERT_EQ(factory.size(), 256u);
    }
    int transfer(int (*operation)(unsigned char *), Record &record) {
        return eepromtest::capturedTransfer(operation, record, &printed);
    }
    std::string repeated(const std::string &line, int times) {
        std::string text;
        for (int time = 0; time < times; ++time) {
            text += line;
        }
        return text;
    }

    std::vector<uint8_t> factory;
    std::string printed;
};

TEST_F(JmicronTransferTest, ReadTakesTheWindowAndServesOnlyTheKey) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_EQ(printed, "Found a Jmicronethernet adapter at 0x2040.\n");
    EXPECT_EQ(record.slotBytes(1, 4), std::vector<uint8_t>(factory.begin() + 0x50,
                                                            factory.begin() + 0x54));
    for (int slot : {0, 2, 3, 4, 5, 6, 7}) {
        EXPECT_TRUE(record.slotIsZero(slot)) << slot;
    }
    EXPECT_EQ(std::vector<uint8_t>(eeprom_contents, eeprom_contents + 25),
              std::vector<uint8_t>(factory.begin() + 0x40, factory.begin() + 0x59));
    EXPECT_THAT(std::vector<uint8_t>(eeprom_contents + 25, eeprom_contents + 128), Each(0xFF));
    // The transfer raises the privilege, the operation raises and lowers it.
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1));
    EXPECT_EQ(sim::nicStats().eepromReads, 25u);
}

TEST_F(JmicronTransferTest, WriteRewritesTheWindowWithTheNewKey) {
    Record record(ASSET_SECURITY_KEY | ASSET_SERIAL_NUMBER);
    std::memcpy(record.slot(1), "\xef\xbe\xad\xde", 4);
    std::memcpy(record.slot(0), "IGNOREDSERI", 11);
    unsigned long before = sim::delayUnits();
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    std::vector<uint8_t> now = sim::nicEeprom(root);
    std::vector<uint8_t> expected = factory;
    std::memcpy(expected.data() + 0x50, "\xef\xbe\xad\xde", 4);
    EXPECT_EQ(now, expected);
    EXPECT_EQ(sim::nicStats().eepromWrites, 25u);
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1, 3, 1));
    // 4200 units of write time after each of the 25 bytes.
    EXPECT_GE(sim::delayUnits() - before, 25u * 4200);

    Record back(ASSET_SECURITY_KEY);
    ASSERT_EQ(transfer(readEepromAssetValues, back), 0);
    EXPECT_EQ(back.slotBytes(1, 4), (std::vector<uint8_t>{0xef, 0xbe, 0xad, 0xde}));
}

TEST_F(JmicronTransferTest, WriteWithoutTheKeyBitRewritesTheValuesJustRead) {
    Record record(ASSET_SERIAL_NUMBER);
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().eepromWrites, 25u);
}

TEST_F(JmicronTransferTest, HeldBusyBusReadsNothing) {
    sim::setNicFault("busy");
    Record record(ASSET_SECURITY_KEY);
    EXPECT_EQ(transfer(readEepromAssetValues, record), -1);
    EXPECT_EQ(printed, "Found a Jmicronethernet adapter at 0x2040.\n" +
                           repeated("return from  smb_busy \n", 25));
    EXPECT_TRUE(record.slotIsZero(1));
    // The image holds what the failed reads gave; no slot got it.
    EXPECT_THAT(std::vector<uint8_t>(eeprom_contents, eeprom_contents + 25), Each(0xFF));
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1));
}

TEST_F(JmicronTransferTest, UnfinishedTransactionsFailTheWriteBeforeAnyByteIsSent) {
    sim::setNicFault("timeout");
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x01\x02\x03\x04", 4);
    EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
    EXPECT_EQ(printed, "Found a Jmicronethernet adapter at 0x2040.\n" +
                           repeated("return from  smb_finish \n", 25));
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
    // Read only: the write operation never raised the privilege.
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3, 1));
}

TEST_F(JmicronTransferTest, UnacknowledgedBytesAreFailures) {
    sim::setNicFault("refuse");
    Record record(ASSET_SECURITY_KEY);
    EXPECT_EQ(transfer(readEepromAssetValues, record), -1);
    EXPECT_EQ(printed, "Found a Jmicronethernet adapter at 0x2040.\n");
    EXPECT_TRUE(record.slotIsZero(1));

    // The write operation on its own still tries all 25 bytes, in order.
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memcpy(image, factory.data() + 0x40, 25);
    sim::clearNicOperations();
    unsigned long before = sim::delayUnits();
    EXPECT_EQ(write_eeprom_jmicron(0x2040, image), 0);
    std::vector<std::string> operations = sim::nicOperations();
    ASSERT_EQ(operations.size(), 25u);
    for (int index = 0; index < 25; ++index) {
        char address[8];
        std::snprintf(address, sizeof address, "0x%02x", 0x40 + index);
        EXPECT_THAT(operations[index], HasSubstr(address));
        EXPECT_THAT(operations[index], HasSubstr("nack"));
    }
    // Each byte waits out the write time although it was refused.
    EXPECT_GE(sim::delayUnits() - before, 25u * (36 + 4200));
    EXPECT_EQ(sim::nicEeprom(root), factory);
}

TEST_F(JmicronTransferTest, ByteLevelAccess) {
    EXPECT_EQ(read_eeprom_jmicron(0x2040, 0x52), factory[0x52]);
    EXPECT_EQ(smb_write8(0x2040, 0x45, 0x5C), 0);
    EXPECT_EQ(sim::nicEeprom(root)[0x45], 0x5C);
    EXPECT_EQ(smb_read8(0x2040, 0x45), 0x5C);
}

}  // namespace
