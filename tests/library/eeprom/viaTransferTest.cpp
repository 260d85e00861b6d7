// VIA Rhine and VIA Velocity end to end: the transfers and the write
// commands against the register-level models of the simulated device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::HasSubstr;

namespace {

using eepromtest::bytesOf;
using eepromtest::Record;
using eepromtest::wordSum;

class ViaTransferTest : public eepromtest::EepromTest,
                        public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        attachNic(GetParam());
        ASSERT_EQ(factory.size(), 128u);
    }
    bool rhine() const { return GetParam() == "rhine"; }
    void expectValidChecksums(const std::vector<uint8_t> &image) {
        EXPECT_EQ(calculateByteCheckSum(image.data(), 32), 0);
        EXPECT_EQ(wordSum(image.data(), 0, 63), 0u);
    }
};

TEST_P(ViaTransferTest, ReadPutsEachValueInItsSlot) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_THAT(printed, HasSubstr("Found a VIA Technologies adapter at "));
    EXPECT_EQ(bytesOf(eeprom_contents, 0, 128), factory);
    // {slot, offset, bytes}: the serial number slot takes its eleven
    // characters and the byte after them.
    for (auto value : std::vector<std::array<int, 3>>{
             {0, 52, 12}, {1, 44, 4}, {2, 0, 6}, {3, 40, 4}, {4, 31, 1}, {5, 126, 2}}) {
        EXPECT_EQ(record.slotBytes(value[0], value[2]), bytesOf(factory.data(), value[1], value[2]))
            << value[0];
        EXPECT_EQ(record.slot(value[0])[value[2]], 0) << value[0];
    }
    // VIA controllers keep no CMOS block: its slot stays as it was.
    EXPECT_TRUE(record.slotsAreZero({6, 7}));
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
}

TEST_P(ViaTransferTest, WriteStoresTheRequestedValuesWithFreshChecksums) {
    Record record(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    std::memcpy(record.slot(0), "NEWSERIAL01Z", 12);
    std::memcpy(record.slot(1), "\x4d\x3c\x2b\x1a", 4);
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    // Eleven characters and the key; everything else stays, the twelfth
    // character's byte too, apart from the checksums.
    std::vector<uint8_t> now = sim::nicEeprom(root);
    std::vector<uint8_t> expected = factory;
    std::memcpy(&expected[52], "NEWSERIAL01", 11);
    std::memcpy(&expected[44], record.slot(1), 4);
    for (size_t checksum : {31, 126, 127}) {
        expected[checksum] = now[checksum];
    }
    EXPECT_EQ(now, expected);
    expectValidChecksums(now);

    // Every value at once; supplied checksums are replaced.
    Record all(0x3F);
    std::memcpy(all.slot(2), "\x00\x40\x63\x01\x02\x03", 6);
    std::memcpy(all.slot(3), "R9.9", 4);
    all.slot(4)[0] = 0x77;
    all.slot(5)[0] = 0x12;
    ASSERT_EQ(transfer(writeEepromAssetValues, all), 0);
    now = sim::nicEeprom(root);
    EXPECT_EQ(bytesOf(now.data(), 0, 6), all.slotBytes(2, 6));
    EXPECT_EQ(std::string(now.begin() + 40, now.begin() + 44), "R9.9");
    EXPECT_EQ(bytesOf(now.data(), 44, 4), all.slotBytes(1, 4));
    expectValidChecksums(now);
}

TEST_P(ViaTransferTest, WriteWithNoBitsRewritesEveryWordAndProtectsTheEeprom) {
    std::vector<uint8_t> damaged = factory;
    damaged[31] ^= 0x5A;
    damaged[126] ^= 0x11;
    std::string error;
    ASSERT_TRUE(sim::setNicEeprom(root, damaged, &error)) << error;
    unsigned long writesBefore = sim::nicStats().eepromWrites;

    for (unsigned char mask : {0x00, 0x40}) {
        Record record(mask);
        std::memset(record.slot(6), 0xAB, 128);
        ASSERT_EQ(transfer(writeEepromAssetValues, record), 0) << int(mask);
        std::vector<uint8_t> now = sim::nicEeprom(root);
        expectValidChecksums(now);
        EXPECT_EQ(bytesOf(now.data(), 0, 31), bytesOf(factory.data(), 0, 31));
        EXPECT_EQ(bytesOf(now.data(), 32, 94), bytesOf(factory.data(), 32, 94));
    }
    EXPECT_EQ(sim::nicStats().eepromWrites - writesBefore, 2u * 64);

    // The EEPROM is left write-protected: a word sent now does not take.
    std::vector<uint8_t> now = sim::nicEeprom(root);
    (void)(rhine() ? SROMbWriteDirect(ioBase, 5, 0x1234)
                   : SROMbWriteEmbededNevika(ioBase, 0, 5, 0x1234));
    EXPECT_EQ(sim::nicEeprom(root), now);
}

TEST_P(ViaTransferTest, BusyEepromFailsTheWriteAfterEveryWordWasTried) {
    sim::setNicFault(rhine() ? "busy" : "timeout");
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x11\x22\x33\x44", 4);
    EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
    if (rhine()) {
        // The Rhine's read cannot tell; each of the 64 writes waits out its
        // 4095 polls for ready.
        EXPECT_GE(sim::delayUnits(), 64u * 4095 * 10);
    } else {
        // Each word of the read waits out its 4095 checks; nothing is written.
        EXPECT_EQ(sim::delayUnits(), 64u * 4095 * 10);
        EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
    }
    EXPECT_EQ(bytesOf(sim::nicEeprom(root).data(), 44, 4), bytesOf(factory.data(), 44, 4));
}

TEST_P(ViaTransferTest, RefusingControllerFailsTheTransfersAndChangesNothing) {
    sim::setNicFault("refuse");
    // Zeros or the fill are never handed out as the device's values.
    Record read(0x3F);
    EXPECT_EQ(transfer(readEepromAssetValues, read), -1);
    EXPECT_TRUE(read.slotsAreZero({0, 1, 2, 3, 4, 5, 6, 7}));

    // Nor written back over the EEPROM: a write whose read was refused
    // writes nothing.
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x11\x22\x33\x44", 4);
    EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().registerWrites, 0u);
    // Each word of both reads is refused at its look at EECSR (the Rhine
    // waits out its settling time after each).
    EXPECT_EQ(sim::delayUnits(), rhine() ? 2u * 64 * 10 : 0u);

    // The write operation on its own still tries every word, each after one
    // look at EECSR, between the Rhine's write enable and disable (300 units
    // each) or the Velocity's start and end commands (one look each).
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memcpy(image, factory.data(), sizeof image);
    sim::NicStats before = sim::nicStats();
    unsigned long delaysBefore = sim::delayUnits();
    EXPECT_EQ((rhine() ? writeViaEeprom : writeViaEepromVelocity)(ioBase, image, record.data()), 0);
    if (rhine()) {
        EXPECT_EQ(sim::delayUnits() - delaysBefore, 300u + 64 * 10 + 300);
    } else {
        EXPECT_EQ(sim::nicStats().registerReads - before.registerReads, 66u);
        EXPECT_EQ(sim::nicStats().registerWrites - before.registerWrites, 0u);
    }
    EXPECT_EQ(sim::nicEeprom(root), factory);
}

INSTANTIATE_TEST_SUITE_P(Families, ViaTransferTest, ::testing::Values("rhine", "velocity"),
                         [](const ::testing::TestParamInfo<std::string> &info) { return info.param; });

}  // namespace
