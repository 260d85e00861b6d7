// The Rhine model: a 93C46 driven bit by bit through EECSR.

#include "tests/sim/nicDrivers.h"

namespace {

using nicdrivers::bus;
using nicdrivers::RhineDriver;
using nicdrivers::wordOf;
using testing::Contains;
using testing::Not;
using Lines = std::vector<std::string>;

class RhineModelTest : public nicdrivers::ModelTest<RhineDriver> {
protected:
    RhineDriver &rhine = driver;
};

TEST_F(RhineModelTest, ReadClocksOutTheDummyZeroThenDataAtRisingEdges) {
    std::vector<uint8_t> image = fileImage();
    rhine.open();
    rhine.sendBits(0x80 | 7, 8);
    EXPECT_FALSE(rhine.dataOut()) << "the dummy zero follows the last address bit";
    EXPECT_EQ(rhine.clockInWord(), wordOf(image, 7));
    EXPECT_EQ(rhine.clockInWord(), wordOf(image, 8)) << "clocking on reads the next word";
    rhine.close();
    EXPECT_EQ(sim::nicOperations(), (Lines{"READ 0x07", "READ 0x08"}));

    // Sampling before the rising edge reads the word shifted.
    rhine.open();
    rhine.sendBits(0x80 | 7, 8);
    uint16_t word = 0;
    for (int bit = 0; bit < 16; ++bit) {
        rhine.writeEecsr(0x18);
        word = static_cast<uint16_t>(word << 1 | (rhine.readEecsr() & 0x01));
        rhine.writeEecsr(0x1c);
    }
    rhine.close();
    EXPECT_EQ(word, wordOf(image, 7) >> 1);

    // Zeros before the start bit are ignored.
    rhine.open();  // already clocks a start bit: begin again after deselecting
    rhine.writeEecsr(0x10);
    rhine.writeEecsr(0x18);
    rhine.sendBits(0x100 | 0x80 | 7, 14);
    EXPECT_EQ(rhine.clockInWord(), wordOf(image, 7));
    rhine.close();
}

TEST_F(RhineModelTest, WritesOnlyBetweenWriteEnableAndDisable) {
    std::vector<uint8_t> before = fileImage();
    EXPECT_FALSE(rhine.writeWord(5, 0x0101)) << "the EEPROM powers up write-disabled: ready never shows";
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicEeprom(root), before);

    rhine.instruct(0x30);
    EXPECT_TRUE(rhine.writeWord(5, 0xBEEF));
    EXPECT_EQ(wordOf(fileImage(), 5), 0xBEEF);
    EXPECT_EQ(wordOf(sim::nicEeprom(root), 5), 0xBEEF);
    rhine.instruct(0x00);
    EXPECT_FALSE(rhine.writeWord(5, 0x0101));
    EXPECT_EQ(rhine.readWord(5), 0xBEEF);
    EXPECT_EQ(sim::nicOperations(),
              (Lines{"WRITE 0x05=0x0101 ignored: write disabled", "EWEN", "WRITE 0x05=0xbeef", "EWDS",
                     "WRITE 0x05=0x0101 ignored: write disabled", "READ 0x05"}));
    EXPECT_EQ(sim::nicStats().eepromWrites, 1u);
    EXPECT_EQ(sim::nicStats().ignoredWrites, 2u);
}

TEST_F(RhineModelTest, ReadyComesWhenTheWriteCycleIsOverAndNothingGetsInBefore) {
    sim::NicTiming timing;
    timing.microwireWriteCycle = 500;
    sim::setNicTiming(timing);
    rhine.instruct(0x30);
    rhine.sendWrite(9, 0x4242);
    bus().out8(RhineDriver::kEecsr, 0x10);  // the falling CS starts the cycle
    unsigned long cycleStart = sim::portAccesses();
    nicdrivers::delayUnits(10);
    rhine.writeEecsr(0x18);
    unsigned long lastBusy = 0;
    unsigned long readyAt = 0;
    for (int poll = 0; poll < 200 && readyAt == 0; ++poll) {
        unsigned long at = sim::portAccesses() + 1;
        (rhine.dataOut() ? readyAt : lastBusy) = at;
    }
    rhine.close();
    ASSERT_NE(lastBusy, 0u);
    ASSERT_NE(readyAt, 0u);
    EXPECT_LT(lastBusy, cycleStart + 500);
    EXPECT_GE(readyAt, cycleStart + 500);
    EXPECT_LT(readyAt, cycleStart + 500 + 11);
    EXPECT_EQ(rhine.readWord(9), 0x4242);

    sim::setNicTiming(sim::NicTiming());  // a cycle that outlasts the next instruction
    rhine.sendWrite(1, 0x1111);
    rhine.close();
    // No wait for ready: the next write does not get in.
    uint16_t before = wordOf(fileImage(), 2);
    EXPECT_TRUE(rhine.writeWord(2, 0x2222)) << "ready shows once the first cycle ends";
    EXPECT_EQ(wordOf(fileImage(), 1), 0x1111);
    EXPECT_EQ(wordOf(fileImage(), 2), before);
    EXPECT_THAT(sim::nicOperations(), Contains("instruction ignored: busy"));
    // Once ready, the status clears with the next start bit.
    EXPECT_TRUE(rhine.writeWord(2, 0x2222));
    EXPECT_EQ(wordOf(fileImage(), 2), 0x2222);
}

TEST_F(RhineModelTest, MisclockedInstructionsTakeNoEffect) {
    // EWEN with the data bit raised in the same write as the clock: the
    // EEPROM takes the data as it stood before the edge.
    rhine.open();
    for (int bit = 7; bit >= 0; --bit) {
        rhine.writeEecsr(0x18);
        rhine.writeEecsr((0x30 >> bit & 1) != 0 ? 0x1e : 0x1c);
    }
    rhine.close();
    EXPECT_FALSE(rhine.writeWord(4, 0x4444));
    EXPECT_THAT(sim::nicOperations(), Contains("WRITE 0x04=0x4444 ignored: write disabled"));
    EXPECT_THAT(sim::nicOperations(), Not(Contains("EWEN")));

    // A write clocked one bit past its data or deselected before the end.
    const struct {
        int dataBits;
        const char *operation;
    } kCases[] = {{17, "WRITE 0x06=0x6666 ignored: clocked past its last bit"},
                  {10, "instruction cut short: 10 bits"}};
    rhine.instruct(0x30);
    std::vector<uint8_t> before = fileImage();
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.dataBits);
        rhine.open();
        rhine.sendBits(0x40 | 6, 8);
        rhine.sendBits(c.dataBits > 16 ? 0x6666 << 1 : 0x66, c.dataBits);
        rhine.close();
        EXPECT_EQ(fileImage(), before);
        EXPECT_THAT(sim::nicOperations(), Contains(c.operation));
    }
}

TEST_F(RhineModelTest, EraseWriteAllAndEraseAll) {
    rhine.instruct(0x30);
    rhine.open();
    rhine.sendBits(0xC0 | 3, 8);  // ERASE word 3
    ASSERT_NE(rhine.waitReady(), 0u);
    rhine.close();
    EXPECT_EQ(wordOf(fileImage(), 3), 0xFFFF);
    EXPECT_NE(wordOf(fileImage(), 0), 0xFFFF);

    rhine.open();
    rhine.sendBits(0x10, 8);  // WRAL
    rhine.sendBits(0x1357, 16);
    ASSERT_NE(rhine.waitReady(), 0u);
    rhine.close();
    std::vector<uint8_t> image = fileImage();
    for (size_t word = 0; word < 64; ++word) {
        EXPECT_EQ(wordOf(image, word), 0x1357) << word;
    }

    rhine.instruct(0x20);  // ERAL
    EXPECT_EQ(fileImage(), std::vector<uint8_t>(128, 0xFF));
    EXPECT_THAT(sim::nicOperations(), testing::IsSupersetOf({"ERASE 0x03", "WRAL 0x1357", "ERAL"}));
}

TEST_F(RhineModelTest, TheLinesNeedDirectProgrammingAndTheConfigurationBit) {
    uint16_t word = wordOf(fileImage(), 2);
    ASSERT_NE(word, 0);
    // A READ of word 2 with direct programming (0x10) and the configuration
    // bit (0x80) as told.
    auto readWith = [this](bool direct, uint8_t config) {
        bus().out8(RhineDriver::kConfig, config);
        rhine.lineMask = direct ? 0xFF : 0xEF;
        rhine.writeEecsr(0x10);
        rhine.writeEecsr(0x18);
        rhine.sendBits(0x100 | 0x80 | 2, 9);
        uint16_t word = rhine.clockInWord();
        rhine.close();
        rhine.lineMask = 0xFF;
        return word;
    };
    EXPECT_EQ(readWith(true, 0x00), 0);
    EXPECT_EQ(readWith(false, 0x80), 0);
    EXPECT_TRUE(sim::nicOperations().empty());
    EXPECT_EQ(readWith(true, 0x80), word);
    EXPECT_EQ(sim::nicOperations(), (Lines{"READ 0x02"}));
}

TEST_F(RhineModelTest, RefusingControllerKeepsTheEeprom) {
    rhine.instruct(0x30);
    sim::setNicFault("refuse");
    EXPECT_EQ(rhine.readEecsr() & 0x70, 0x70);
    EXPECT_FALSE(rhine.writeWord(5, 0x5555));
    // Driving the lines regardless reaches nothing.
    std::vector<uint8_t> before = fileImage();
    rhine.sendWrite(5, 0x5555);
    rhine.writeEecsr(0x10);
    rhine.writeEecsr(0x18);
    EXPECT_FALSE(rhine.dataOut());
    rhine.close();
    EXPECT_EQ(rhine.readWord(5), 0) << "data out stays low";
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicOperations(), (Lines{"EWEN"}));

    // Faults and timing end with a bus reset.
    sim::NicTiming slow;
    slow.microwireWriteCycle = 9000;
    sim::setNicTiming(slow);
    reattach();
    EXPECT_EQ(sim::nicTiming().microwireWriteCycle, sim::NicTiming().microwireWriteCycle);
    EXPECT_EQ(rhine.readEecsr() & 0x70, 0);
    EXPECT_EQ(rhine.readWord(5), wordOf(before, 5));
    EXPECT_THROW(sim::setNicFault("broken"), std::invalid_argument);
}

TEST_F(RhineModelTest, HeldBusyNeverShowsReadyNorWrites) {
    for (const char *fault : {"busy", "timeout"}) {
        SCOPED_TRACE(fault);
        reattach();
        std::vector<uint8_t> before = fileImage();
        sim::setNicFault(fault);
        rhine.instruct(0x30);
        EXPECT_FALSE(rhine.writeWord(5, 0x5A5A));
        EXPECT_FALSE(rhine.writeWord(6, 0x5A5A)) << "nothing gets in while busy";
        EXPECT_EQ(fileImage(), before);
        EXPECT_THAT(sim::nicOperations(), Contains("WRITE 0x05=0x5a5a ignored: the write cycle never ends"));
        EXPECT_THAT(sim::nicOperations(), Contains("instruction ignored: busy"));

        // Without the fault the EEPROM is idle again, the word unprogrammed.
        sim::setNicFault("none");
        EXPECT_EQ(rhine.readWord(5), wordOf(before, 5));
        rhine.instruct(0x30);
        EXPECT_TRUE(rhine.writeWord(5, 0x5A5A));
        EXPECT_EQ(wordOf(fileImage(), 5), 0x5A5A);
        std::string error;
        ASSERT_TRUE(sim::setNicEeprom(root, before, &error)) << error;
    }
}

TEST_F(RhineModelTest, RegistersAroundTheEepromPort) {
    std::vector<uint8_t> image = fileImage();
    for (uint16_t offset = 0; offset < 6; ++offset) {
        EXPECT_EQ(bus().in8(RhineDriver::kBase + offset), image[offset]) << offset;
    }
    bus().out16(RhineDriver::kBase + 0x40, 0xABCD);
    EXPECT_EQ(bus().in16(RhineDriver::kBase + 0x40), 0xABCD);
    // EECSR keeps only the line bits; the status bits and data out are read-only.
    bus().out8(RhineDriver::kEecsr, 0xFF);
    EXPECT_EQ(bus().in8(RhineDriver::kEecsr), 0x1E);
    EXPECT_EQ(bus().in32(RhineDriver::kEecsr) & 0xFF, 0x1Eu);
    bus().out8(RhineDriver::kEecsr, 0x00);
    EXPECT_GT(sim::nicStats().registerReads, 6u);
    EXPECT_EQ(sim::nicStats().registerWrites, 3u);
}

TEST_F(RhineModelTest, AFullWriteReadsBackInTheNextRun) {
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 128u);
    for (size_t index = 0; index < image.size(); ++index) {
        image[index] = static_cast<uint8_t>(index * 7 + 1);
    }
    unsigned long accessesBefore = sim::portAccesses();
    rhine.instruct(0x30);
    int written = 0;
    for (unsigned word = 0; word < 64; ++word) {
        written += rhine.writeWord(word, wordOf(image, word)) ? 1 : 0;
    }
    rhine.instruct(0x00);
    EXPECT_EQ(written, 64);
    EXPECT_EQ(sim::nicStats().eepromWrites, 64u);
    // Each word waits out the 2000-unit write cycle.
    EXPECT_GT(sim::portAccesses() - accessesBefore, 64u * 2000u);

    reattach();
    EXPECT_EQ(fileImage(), image);
    for (unsigned address = 0; address < 64; ++address) {
        EXPECT_EQ(rhine.readWord(address), wordOf(image, address)) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 64u);
    EXPECT_THAT(sim::nicOperations(), Contains("READ 0x3f"));
    // Reads leave the lines and the configuration bit as they found them.
    EXPECT_EQ(bus().in8(RhineDriver::kEecsr) & 0x1f, 0);
    EXPECT_EQ(bus().in8(RhineDriver::kConfig) & 0x80, 0);
    EXPECT_FALSE(rhine.writeWord(22, 0x0000)) << "the new EEPROM powers up write-disabled";
}

}  // namespace
