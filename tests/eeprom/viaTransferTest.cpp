// VIA Rhine and VIA Velocity end to end: the transfers against the
// register-level models of the simulated device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/eeprom/eepromTestSupport.h"

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

using eepromtest::byteSum;
using eepromtest::Record;
using eepromtest::wordSum;

std::vector<uint8_t> bytesOf(const std::vector<uint8_t> &image, size_t first, size_t count) {
    return std::vector<uint8_t>(image.begin() + first, image.begin() + first + count);
}

class ViaTransferTest : public eepromtest::EepromTest,
                        public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, GetParam(), &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        factory = sim::nicEeprom(root);
        ASSERT_EQ(factory.size(), 128u);
        row = GetParam() == "rhine" ? &pcidev_tbl[6] : &pcidev_tbl[7];
    }
    int transfer(int (*operation)(unsigned char *), Record &record) {
        return eepromtest::capturedTransfer(operation, record, &printed);
    }
    void expectValidChecksums(const std::vector<uint8_t> &image) {
        EXPECT_EQ(byteSum(image.data(), 0, 31), 0u);
        EXPECT_EQ(wordSum(image.data(), 0, 63), 0u);
    }

    std::vector<uint8_t> factory;
    pcidev_row *row = nullptr;
    std::string printed;
};

TEST_P(ViaTransferTest, FactoryImageIsValid) { expectValidChecksums(factory); }

TEST_P(ViaTransferTest, ReadPutsEachValueInItsSlot) {
    Record record(0xFF);
    ASSERT_EQ(transfer(readEepromAssetValues, record), 0);
    EXPECT_THAT(printed, HasSubstr("Found a VIA Technologies adapter at "));
    EXPECT_THAT(std::vector<uint8_t>(eeprom_contents, eeprom_contents + 128),
                ElementsAreArray(factory));
    // Eleven characters and the byte that follows them.
    EXPECT_EQ(record.slotBytes(0, 12), bytesOf(factory, 52, 12));
    EXPECT_EQ(record.slotBytes(1, 4), bytesOf(factory, 44, 4));
    EXPECT_EQ(record.slotBytes(2, 6), bytesOf(factory, 0, 6));  // station address in slot 2
    EXPECT_EQ(record.slotBytes(3, 4), bytesOf(factory, 40, 4));  // revision in slot 3
    EXPECT_EQ(record.slotBytes(4, 1), bytesOf(factory, 31, 1));
    EXPECT_EQ(record.slotBytes(5, 2), bytesOf(factory, 126, 2));
    EXPECT_EQ(record.slot(0)[12], 0);
    EXPECT_EQ(record.slot(4)[1], 0);
    // Bit 0x40 is not served by VIA controllers: its slot stays as it was.
    EXPECT_TRUE(record.slotIsZero(6));
    EXPECT_TRUE(record.slotIsZero(7));
    // The EEPROM is not changed by reading it.
    EXPECT_EQ(sim::nicEeprom(root), factory);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
}

TEST_P(ViaTransferTest, WriteStoresElevenSerialCharactersAndTheKey) {
    Record record(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    std::memcpy(record.slot(0), "NEWSERIAL01Z", 12);
    std::memcpy(record.slot(1), "\x4d\x3c\x2b\x1a", 4);
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);

    std::vector<uint8_t> now = sim::nicEeprom(root);
    EXPECT_EQ(std::string(now.begin() + 52, now.begin() + 63), "NEWSERIAL01");
    EXPECT_EQ(now[63], factory[63]);  // the twelfth character is not stored
    EXPECT_EQ(bytesOf(now, 44, 4), (std::vector<uint8_t>{0x4d, 0x3c, 0x2b, 0x1a}));
    // Everything else stays, apart from the checksums.
    for (size_t at = 0; at < 128; ++at) {
        bool changed = (at >= 52 && at < 63) || (at >= 44 && at < 48) || at == 31 || at >= 126;
        if (!changed) {
            EXPECT_EQ(now[at], factory[at]) << "byte " << at;
        }
    }
    expectValidChecksums(now);

    Record back(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    ASSERT_EQ(transfer(readEepromAssetValues, back), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(back.slot(0)), 11), "NEWSERIAL01");
    EXPECT_EQ(back.slot(0)[11], factory[63]);
    EXPECT_EQ(back.slotBytes(1, 4), (std::vector<uint8_t>{0x4d, 0x3c, 0x2b, 0x1a}));
}

TEST_P(ViaTransferTest, EveryValueAndSuppliedChecksumsGiveValidChecksums) {
    Record record(0x3F);
    std::memcpy(record.slot(0), "SN-ALL-0001", 11);
    std::memcpy(record.slot(1), "\x01\x02\x03\x04", 4);
    std::memcpy(record.slot(2), "\x00\x40\x63\x01\x02\x03", 6);
    std::memcpy(record.slot(3), "R9.9", 4);
    record.slot(4)[0] = 0x77;  // supplied checksums are replaced
    record.slot(5)[0] = 0x12;
    record.slot(5)[1] = 0x34;
    ASSERT_EQ(transfer(writeEepromAssetValues, record), 0);
    std::vector<uint8_t> now = sim::nicEeprom(root);
    EXPECT_EQ(bytesOf(now, 0, 6), (std::vector<uint8_t>{0x00, 0x40, 0x63, 0x01, 0x02, 0x03}));
    EXPECT_EQ(std::string(now.begin() + 40, now.begin() + 44), "R9.9");
    expectValidChecksums(now);
    EXPECT_NE(now[31], 0x77);
}

TEST_P(ViaTransferTest, WriteWithNoBitsRewritesEveryWordWithFreshChecksums) {
    // A damaged image: both checksums wrong.
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
        EXPECT_EQ(bytesOf(now, 0, 31), bytesOf(factory, 0, 31));
        EXPECT_EQ(bytesOf(now, 32, 94), bytesOf(factory, 32, 94));
    }
    EXPECT_EQ(sim::nicStats().eepromWrites - writesBefore, 2u * 64);
}

TEST_P(ViaTransferTest, BusyEepromFailsTheWriteAfterEveryWordWasTried) {
    sim::setNicFault(GetParam() == "rhine" ? "busy" : "timeout");
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x11\x22\x33\x44", 4);
    unsigned long before = sim::delayUnits();
    EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
    if (GetParam() == "rhine") {
        // The Rhine's read cannot tell; its writes wait for ready in vain,
        // 4095 polls for each of the 64 words.
        EXPECT_GE(sim::delayUnits() - before, 64u * 4095 * 10);
    } else {
        // Every word of the Velocity's read waits out its 4095 checks; then
        // nothing is written.
        EXPECT_EQ(sim::delayUnits() - before, 64u * 4095 * 10);
        EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
    }
    EXPECT_EQ(bytesOf(sim::nicEeprom(root), 44, 4), bytesOf(factory, 44, 4));
}

TEST_P(ViaTransferTest, RefusingControllerFailsTheWriteAndChangesNothing) {
    sim::setNicFault("refuse");
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x11\x22\x33\x44", 4);
    EXPECT_EQ(transfer(writeEepromAssetValues, record), -1);
    EXPECT_EQ(sim::nicEeprom(root), factory);
    if (GetParam() == "rhine") {
        // The words are refused one by one at the first look at EECSR:
        // a full read (64 x 690 units), write enable and disable (300 each)
        // and 64 looks of 10 units.
        EXPECT_EQ(sim::delayUnits(), 64u * 690 + 300 + 64 * 10 + 300);
    } else {
        EXPECT_EQ(sim::nicStats().registerWrites, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, ViaTransferTest, ::testing::Values("rhine", "velocity"),
                         [](const ::testing::TestParamInfo<std::string> &info) { return info.param; });

// ---- one family at a time ---------------------------------------------------

class RhineTest : public eepromtest::EepromTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, "rhine", &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        factory = sim::nicEeprom(root);
        testing::internal::CaptureStdout();
        ioBase = scan_proc_bus_pci()->io_addr;
        testing::internal::GetCapturedStdout();
        sim::resetPortBus();
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    }
    std::vector<uint8_t> factory;
    unsigned short ioBase = 0;
};

TEST_F(RhineTest, ReadTransferCostsTenUnitsAfterEveryLineAccess) {
    Record record(0x3F);
    testing::internal::CaptureStdout();
    ASSERT_EQ(readEepromAssetValues(record.data()), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sim::delayUnits(), 64u * 690);
}

TEST_F(RhineTest, WordReadsMatchTheImage) {
    for (unsigned char address : {0, 22, 63}) {
        EXPECT_EQ(SROMwReadDirect(ioBase, address),
                  factory[2 * address] | (factory[2 * address + 1] << 8))
            << int(address);
    }
}

TEST_F(RhineTest, WritesNeedWriteEnable) {
    // Without write enable the EEPROM keeps the word.
    SROMbWriteDirect(ioBase, 5, 0x1234);
    EXPECT_EQ(sim::nicEeprom(root), factory);

    SROMvIssueDirect(ioBase, 0x30);
    EXPECT_EQ(SROMbWriteDirect(ioBase, 5, 0x1234), 1);
    std::vector<uint8_t> now = sim::nicEeprom(root);
    EXPECT_EQ(now[10], 0x34);
    EXPECT_EQ(now[11], 0x12);

    SROMvIssueDirect(ioBase, 0x00);
    SROMbWriteDirect(ioBase, 6, 0xABCD);
    EXPECT_EQ(sim::nicEeprom(root), now);
}

TEST_F(RhineTest, WholeImageRoundTrip) {
    std::vector<unsigned short> words(64);
    for (int word = 0; word < 64; ++word) {
        words[word] = static_cast<unsigned short>(0x0101 * word + 7);
    }
    SROMvWriteAllContents(ioBase, words.data());
    std::vector<unsigned short> back(64);
    SROMvReadAllContents(ioBase, back.data());
    EXPECT_EQ(back, words);
    EXPECT_EQ(SROMwReadDirect(ioBase, 63), words[63]);
}

class VelocityTest : public RhineTest {
protected:
    void SetUp() override {
        eepromtest::EepromTest::SetUp();
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, "velocity", &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        factory = sim::nicEeprom(root);
        testing::internal::CaptureStdout();
        ioBase = scan_proc_bus_pci()->io_addr;
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(VelocityTest, WritesOnlyBetweenTheSeriesCommands) {
    EXPECT_EQ(SROMbWriteEmbededNevika(ioBase, 0, 5, 0x1234), 1);
    EXPECT_EQ(sim::nicEeprom(root), factory);

    EXPECT_EQ(SROMbIssueEmbeded(ioBase, 0x04), 1);
    EXPECT_EQ(SROMbWriteEmbededNevika(ioBase, 0, 5, 0x1234), 1);
    EXPECT_EQ(SROMbIssueEmbeded(ioBase, 0x08), 1);
    EXPECT_EQ(SROMbReadEmbededNevika(ioBase, 5), 0x1234);
    EXPECT_EQ(sim::nicEeprom(root)[10], 0x34);
}

TEST_F(VelocityTest, RefusedWriteOperationTriesEverythingInOrder) {
    unsigned char image[EEPROM_IMAGE_SIZE];
    std::memcpy(image, factory.data(), sizeof image);
    Record record(ASSET_SECURITY_KEY);
    std::memcpy(record.slot(1), "\x99\x88\x77\x66", 4);
    sim::setNicFault("refuse");
    sim::NicStats before = sim::nicStats();
    EXPECT_EQ(writeViaEepromVelocity(ioBase, image, record.data()), 0);
    // The start command, 64 words and the end command, each refused after
    // one look at EECSR.
    EXPECT_EQ(sim::nicStats().registerReads - before.registerReads, 66u);
    EXPECT_EQ(sim::nicStats().registerWrites - before.registerWrites, 0u);
    EXPECT_EQ(sim::nicEeprom(root), factory);
    // The merged image is left as it would have been written.
    EXPECT_EQ(image[44], 0x99);
    EXPECT_EQ(byteSum(image, 0, 31), 0u);
}

TEST_F(VelocityTest, ReadThatDidNotHappenFillsNoSlot) {
    sim::setNicFault("refuse");
    Record record(0x3F);
    testing::internal::CaptureStdout();
    EXPECT_EQ(readEepromAssetValues(record.data()), -1);
    testing::internal::GetCapturedStdout();
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_TRUE(record.slotIsZero(slot)) << slot;
    }
    EXPECT_EQ(readViaEepromVelocity(ioBase, eeprom_contents), 0);
}

}  // namespace
