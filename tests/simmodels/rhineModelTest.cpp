// The Rhine model: a 93C46 driven bit by bit through EECSR.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <time.h>

#include "tests/simmodels/nicDrivers.h"

namespace {

using nicdrivers::RhineDriver;
using nicdrivers::wordOf;
using testing::Contains;
using testing::HasSubstr;

class RhineModelTest : public nicdrivers::NicModelTest {
protected:
    void SetUp() override {
        NicModelTest::SetUp();
        attach("rhine");
    }
    // Puts word index of the EEPROM to value, in the file and the model.
    void setWord(size_t index, uint16_t value) {
        std::vector<uint8_t> image = sim::nicEeprom(root);
        image[2 * index] = static_cast<uint8_t>(value);
        image[2 * index + 1] = static_cast<uint8_t>(value >> 8);
        std::string error;
        ASSERT_TRUE(sim::setNicEeprom(root, image, &error)) << error;
    }

    RhineDriver rhine;
};

TEST_F(RhineModelTest, ReadsEveryWordOfTheEepromFile) {
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 128u);
    for (unsigned address = 0; address < 64; ++address) {
        EXPECT_EQ(rhine.readWord(address), wordOf(image, address)) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 64u);
    EXPECT_TRUE(operationSeen("READ 0x00"));
    EXPECT_TRUE(operationSeen("READ 0x3f"));
    // Reads leave the lines and the configuration bit as they found them.
    EXPECT_EQ(nicdrivers::bus().in8(rhine.eecsrPort()) & 0x1f, 0);
    EXPECT_EQ(nicdrivers::bus().in8(rhine.configPort()) & 0x80, 0);
}

TEST_F(RhineModelTest, ReadShowsTheDummyZeroThenTheDataAtRisingEdges) {
    setWord(7, 0xA5C3);
    rhine.open();
    rhine.sendBits(0x80 | 7, 8);
    EXPECT_FALSE(rhine.dataOut()) << "the dummy zero follows the last address bit";
    EXPECT_EQ(rhine.clockInWord(), 0xA5C3);
    // Clocking on reads the next word.
    EXPECT_EQ(rhine.clockInWord(), wordOf(sim::nicEeprom(root), 8));
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"READ 0x07", "READ 0x08"}));
}

TEST_F(RhineModelTest, SamplingBeforeTheRisingEdgeReadsTheWordShifted) {
    setWord(7, 0xA5C3);
    rhine.open();
    rhine.sendBits(0x80 | 7, 8);
    uint16_t word = 0;
    for (int bit = 0; bit < 16; ++bit) {
        rhine.writeEecsr(0x18);
        word = static_cast<uint16_t>(word << 1 | (rhine.readEecsr() & 0x01));
        rhine.writeEecsr(0x1c);
    }
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(word, 0xA5C3 >> 1);
}

TEST_F(RhineModelTest, ZerosBeforeTheStartBitAreIgnored) {
    setWord(3, 0x1234);
    rhine.open();  // already clocks a start bit: begin again after deselecting
    rhine.writeEecsr(0x10);
    rhine.writeEecsr(0x18);
    rhine.sendBits(0, 5);
    rhine.sendBit(true);
    rhine.sendBits(0x80 | 3, 8);
    EXPECT_EQ(rhine.clockInWord(), 0x1234);
    rhine.writeEecsr(0x10);
    rhine.close();
}

TEST_F(RhineModelTest, WriteWithoutWriteEnableChangesNothingAndNeverShowsReady) {
    std::vector<uint8_t> before = fileImage();
    unsigned polls = 99;
    EXPECT_FALSE(rhine.writeWord(5, 0xBEEF, &polls));
    EXPECT_EQ(polls, 0u);
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicEeprom(root), before);
    EXPECT_EQ(sim::nicStats().ignoredWrites, 1u);
    EXPECT_TRUE(operationSeen("WRITE 0x05=0xbeef ignored: write disabled"));
}

TEST_F(RhineModelTest, WriteEnableWriteAndDisable) {
    rhine.issue(0x30);
    EXPECT_TRUE(rhine.writeWord(5, 0xBEEF));
    EXPECT_EQ(wordOf(fileImage(), 5), 0xBEEF);
    EXPECT_EQ(wordOf(sim::nicEeprom(root), 5), 0xBEEF);
    EXPECT_EQ(rhine.readWord(5), 0xBEEF);

    rhine.issue(0x00);
    EXPECT_FALSE(rhine.writeWord(5, 0x0101));
    EXPECT_EQ(rhine.readWord(5), 0xBEEF);
    EXPECT_EQ(sim::nicOperations(),
              (std::vector<std::string>{"EWEN", "WRITE 0x05=0xbeef", "READ 0x05", "EWDS",
                                        "WRITE 0x05=0x0101 ignored: write disabled", "READ 0x05"}));
    EXPECT_EQ(sim::nicStats().eepromWrites, 1u);
}

TEST_F(RhineModelTest, ReadyComesWhenTheWriteCycleIsOver) {
    sim::NicTiming timing;
    timing.microwireWriteCycle = 500;
    sim::setNicTiming(timing);
    rhine.issue(0x30);
    rhine.open();
    rhine.sendBits(0x40 | 9, 8);
    rhine.sendBits(0x4242, 16);
    nicdrivers::bus().out8(rhine.eecsrPort(), 0x10);  // the falling CS starts the cycle
    unsigned long cycleStart = sim::portAccesses();
    nicdrivers::delayUnits(10);
    rhine.writeEecsr(0x18);

    std::vector<unsigned long> busyPolls;
    unsigned long readyAt = 0;
    for (int poll = 0; poll < 200 && readyAt == 0; ++poll) {
        unsigned long at = sim::portAccesses() + 1;
        if (rhine.dataOut()) {
            readyAt = at;
        } else {
            busyPolls.push_back(at);
        }
    }
    rhine.writeEecsr(0x10);
    rhine.close();
    ASSERT_FALSE(busyPolls.empty());
    ASSERT_NE(readyAt, 0u);
    EXPECT_LT(busyPolls.back(), cycleStart + 500);
    EXPECT_GE(readyAt, cycleStart + 500);
    EXPECT_LT(readyAt, cycleStart + 500 + 11);
    EXPECT_EQ(rhine.readWord(9), 0x4242);
}

TEST_F(RhineModelTest, InstructionsDuringTheWriteCycleAreIgnored) {
    rhine.issue(0x30);
    rhine.open();
    rhine.sendBits(0x40 | 1, 8);
    rhine.sendBits(0x1111, 16);
    rhine.writeEecsr(0x10);
    rhine.close();
    // No wait for ready: the next write does not get in.
    uint16_t before = wordOf(fileImage(), 2);
    unsigned polls = 0;
    EXPECT_TRUE(rhine.writeWord(2, 0x2222, &polls)) << "ready shows once the first cycle ends";
    EXPECT_EQ(wordOf(fileImage(), 1), 0x1111);
    EXPECT_EQ(wordOf(fileImage(), 2), before);
    EXPECT_TRUE(operationSeen("instruction ignored: busy"));
    // Once ready, the status clears with the next start bit.
    EXPECT_TRUE(rhine.writeWord(2, 0x2222));
    EXPECT_EQ(wordOf(fileImage(), 2), 0x2222);
}

TEST_F(RhineModelTest, DataChangedWithTheClockEdgeIsNotTaken) {
    // EWEN with the data bit raised in the same write as the clock: the
    // EEPROM takes the data as it stood before the edge.
    rhine.open();
    for (int bit = 7; bit >= 0; --bit) {
        bool one = (0x30 >> bit & 1) != 0;
        rhine.writeEecsr(0x18);
        rhine.writeEecsr(one ? 0x1e : 0x1c);
    }
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_FALSE(rhine.writeWord(4, 0x4444));
    EXPECT_THAT(sim::nicOperations(), Contains("WRITE 0x04=0x4444 ignored: write disabled"));
    EXPECT_THAT(sim::nicOperations(), testing::Not(Contains("EWEN")));
}

TEST_F(RhineModelTest, AClockPastTheLastDataBitCancelsTheWrite) {
    rhine.issue(0x30);
    std::vector<uint8_t> before = fileImage();
    rhine.open();
    rhine.sendBits(0x40 | 6, 8);
    rhine.sendBits(0x6666, 16);
    rhine.sendBit(false);
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(fileImage(), before);
    EXPECT_TRUE(operationSeen("WRITE 0x06=0x6666 ignored: clocked past its last bit"));
}

TEST_F(RhineModelTest, DeselectingBeforeTheLastDataBitWritesNothing) {
    rhine.issue(0x30);
    std::vector<uint8_t> before = fileImage();
    rhine.open();
    rhine.sendBits(0x40 | 6, 8);
    rhine.sendBits(0x66, 10);
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(fileImage(), before);
    EXPECT_TRUE(operationSeen("instruction cut short: 10 bits"));
}

TEST_F(RhineModelTest, EraseWriteAllAndEraseAll) {
    auto waitReady = [this] {
        rhine.writeEecsr(0x18);
        for (int poll = 0; poll < 4095; ++poll) {
            if (rhine.dataOut()) {
                return true;
            }
        }
        return false;
    };
    rhine.issue(0x30);
    rhine.open();
    rhine.sendBits(0xC0 | 3, 8);  // ERASE word 3
    rhine.writeEecsr(0x10);
    ASSERT_TRUE(waitReady());
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(wordOf(fileImage(), 3), 0xFFFF);
    EXPECT_NE(wordOf(fileImage(), 0), 0xFFFF);

    rhine.open();
    rhine.sendBits(0x10, 8);  // WRAL
    rhine.sendBits(0x1357, 16);
    rhine.writeEecsr(0x10);
    ASSERT_TRUE(waitReady());
    rhine.writeEecsr(0x10);
    rhine.close();
    std::vector<uint8_t> image = fileImage();
    for (size_t word = 0; word < 64; ++word) {
        EXPECT_EQ(wordOf(image, word), 0x1357) << word;
    }

    rhine.issue(0x20);  // ERAL
    EXPECT_EQ(fileImage(), std::vector<uint8_t>(128, 0xFF));
    EXPECT_THAT(sim::nicOperations(), Contains("ERASE 0x03"));
    EXPECT_THAT(sim::nicOperations(), Contains("WRAL 0x1357"));
    EXPECT_THAT(sim::nicOperations(), Contains("ERAL"));
}

TEST_F(RhineModelTest, TheLinesNeedDirectProgrammingAndTheConfigurationBit) {
    setWord(2, 0xFFFF);
    // A READ of word 2 with the lines as given, direct programming (0x10)
    // and the configuration bit (0x80) as told.
    auto readWith = [this](uint8_t direct, uint8_t config) {
        nicdrivers::bus().out8(rhine.configPort(), config);
        auto lines = [&](uint8_t value) { rhine.writeEecsr(static_cast<uint8_t>(direct | value)); };
        lines(0x00);
        lines(0x08);
        for (int bit = 8; bit >= 0; --bit) {  // the start bit and 10 000010
            bool one = ((0x100 | 0x80 | 2) >> bit & 1) != 0;
            lines(one ? 0x0a : 0x08);
            lines(one ? 0x0e : 0x0c);
        }
        uint16_t word = 0;
        for (int bit = 0; bit < 16; ++bit) {
            lines(0x08);
            lines(0x0c);
            word = static_cast<uint16_t>(word << 1 | (rhine.readEecsr() & 0x01));
        }
        lines(0x00);
        rhine.writeEecsr(0x00);
        nicdrivers::bus().out8(rhine.configPort(), 0x00);
        return word;
    };
    EXPECT_EQ(readWith(0x10, 0x00), 0);
    EXPECT_EQ(readWith(0x00, 0x80), 0);
    EXPECT_TRUE(sim::nicOperations().empty());
    EXPECT_EQ(readWith(0x10, 0x80), 0xFFFF);
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"READ 0x02"}));
}

TEST_F(RhineModelTest, RefusingControllerKeepsTheEeprom) {
    rhine.issue(0x30);
    sim::setNicFault("refuse");
    EXPECT_EQ(rhine.readEecsr() & 0x70, 0x70);
    EXPECT_FALSE(rhine.writeWord(5, 0x5555));
    // Driving the lines regardless reaches nothing.
    std::vector<uint8_t> before = fileImage();
    rhine.open();
    rhine.sendBits(0x40 | 5, 8);
    rhine.sendBits(0x5555, 16);
    rhine.writeEecsr(0x10);
    rhine.writeEecsr(0x18);
    EXPECT_FALSE(rhine.dataOut());
    rhine.writeEecsr(0x10);
    rhine.close();
    EXPECT_EQ(rhine.readWord(5), 0) << "data out stays low";
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"EWEN"}));

    sim::setNicFault("none");
    EXPECT_EQ(rhine.readEecsr() & 0x70, 0);
    EXPECT_EQ(rhine.readWord(5), wordOf(before, 5));
}

TEST_F(RhineModelTest, HeldBusyNeverShowsReadyNorWrites) {
    for (const char *fault : {"busy", "timeout"}) {
        SCOPED_TRACE(fault);
        sim::resetPortBus();
        std::string error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        std::vector<uint8_t> before = fileImage();
        sim::setNicFault(fault);
        rhine.issue(0x30);
        EXPECT_FALSE(rhine.writeWord(5, 0x5A5A));
        EXPECT_FALSE(rhine.writeWord(6, 0x5A5A)) << "nothing gets in while busy";
        EXPECT_EQ(fileImage(), before);
        EXPECT_THAT(sim::nicOperations(), Contains("WRITE 0x05=0x5a5a ignored: the write cycle never ends"));
        EXPECT_THAT(sim::nicOperations(), Contains("instruction ignored: busy"));

        // Without the fault the part is idle again, the word unprogrammed.
        sim::setNicFault("none");
        EXPECT_EQ(rhine.readWord(5), wordOf(before, 5));
        rhine.issue(0x30);
        EXPECT_TRUE(rhine.writeWord(5, 0x5A5A));
        EXPECT_EQ(wordOf(fileImage(), 5), 0x5A5A);
        ASSERT_TRUE(sim::setNicEeprom(root, before, &error)) << error;
    }
}

TEST_F(RhineModelTest, FaultsAndTimingEndWithABusReset) {
    sim::setNicFault("refuse");
    sim::NicTiming slow;
    slow.microwireWriteCycle = 9000;
    sim::setNicTiming(slow);
    sim::resetPortBus();
    EXPECT_EQ(sim::nicTiming().microwireWriteCycle, sim::NicTiming().microwireWriteCycle);
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_EQ(rhine.readEecsr() & 0x70, 0);
    EXPECT_THROW(sim::setNicFault("broken"), std::invalid_argument);
}

TEST_F(RhineModelTest, WritesPersistAcrossRuns) {
    rhine.issue(0x30);
    ASSERT_TRUE(rhine.writeWord(44 / 2, 0xCAFE));
    rhine.issue(0x00);
    // The next agent run: a fresh bus and model on the same root.
    sim::resetPortBus();
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_EQ(rhine.readWord(22), 0xCAFE);
    EXPECT_EQ(wordOf(fileImage(), 22), 0xCAFE);
    // And the new part powers up write-disabled.
    EXPECT_FALSE(rhine.writeWord(22, 0x0000));
}

TEST_F(RhineModelTest, RegistersAroundTheEepromPort) {
    std::vector<uint8_t> image = fileImage();
    for (uint16_t offset = 0; offset < 6; ++offset) {
        EXPECT_EQ(nicdrivers::bus().in8(RhineDriver::kBase + offset), image[offset]) << offset;
    }
    nicdrivers::bus().out16(RhineDriver::kBase + 0x40, 0xABCD);
    EXPECT_EQ(nicdrivers::bus().in16(RhineDriver::kBase + 0x40), 0xABCD);
    // EECSR keeps only the line bits; the status bits and data out are read-only.
    nicdrivers::bus().out8(rhine.eecsrPort(), 0xFF);
    EXPECT_EQ(nicdrivers::bus().in8(rhine.eecsrPort()), 0x1E);
    EXPECT_EQ(nicdrivers::bus().in32(rhine.eecsrPort()) & 0xFF, 0x1Eu);
    nicdrivers::bus().out8(rhine.eecsrPort(), 0x00);
    EXPECT_GT(sim::nicStats().registerReads, 6u);
    EXPECT_EQ(sim::nicStats().registerWrites, 3u);
}

TEST_F(RhineModelTest, AFullWriteWithTheControllersDelaysIsQuick) {
    std::vector<uint8_t> image = fileImage();
    for (size_t index = 0; index < image.size(); ++index) {
        image[index] = static_cast<uint8_t>(index * 7 + 1);
    }
    // Processor time of this thread: the machine running the tests is shared.
    auto cpuMicroseconds = [] {
        timespec now {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return now.tv_sec * 1000000L + now.tv_nsec / 1000;
    };
    unsigned long accessesBefore = sim::portAccesses();
    long started = cpuMicroseconds();
    rhine.issue(0x30);
    int written = 0;
    for (unsigned word = 0; word < 64; ++word) {
        written += rhine.writeWord(word, wordOf(image, word)) ? 1 : 0;
    }
    rhine.issue(0x00);
    long took = cpuMicroseconds() - started;
    EXPECT_EQ(written, 64);
    EXPECT_EQ(fileImage(), image);
    EXPECT_EQ(sim::nicStats().eepromWrites, 64u);
    // Each word waits out the 2000-unit write cycle.
    EXPECT_GT(sim::portAccesses() - accessesBefore, 64u * 2000u);
    EXPECT_LT(took, 50000);
}

}  // namespace
