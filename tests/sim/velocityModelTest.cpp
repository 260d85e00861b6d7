// The Velocity model: the embedded EEPROM engine and its command register.
#include "tests/sim/nicDrivers.h"

namespace {

using nicdrivers::VelocityDriver;
using nicdrivers::wordOf;
using Lines = std::vector<std::string>;

class VelocityModelTest : public nicdrivers::ModelTest<VelocityDriver> {
protected:
    VelocityDriver &velocity = driver;
    // Starts a command by hand, as a driver that does not wait would.
    void start(uint8_t bit, unsigned address, bool enable = true) {
        velocity.setBits(VelocityDriver::kConfig, 0x80);
        velocity.out8(VelocityDriver::kAddress, static_cast<uint8_t>(address));
        if (enable) {
            velocity.setBits(VelocityDriver::kEecsr, 0x40);
        }
        velocity.setBits(VelocityDriver::kCommand, bit);
    }
    // Checks the command bit up to limit times; the checks that found it set.
    int pendingChecks(uint8_t bit, int limit) {
        int checks = 0;
        while (checks < limit && velocity.pending(bit)) {
            ++checks;
        }
        return checks;
    }
};

TEST_F(VelocityModelTest, ReadsEveryWordAfterTheConfiguredPolls) {
    std::vector<uint8_t> image = fileImage();
    uint16_t word = 0;
    unsigned polls = 0;
    for (unsigned address = 0; address < 64; ++address) {
        ASSERT_TRUE(velocity.readWord(address, &word, &polls)) << address;
        EXPECT_EQ(word, wordOf(image, address)) << address;
        EXPECT_EQ(polls, sim::NicTiming().velocityCommandPolls + 1) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 64u);

    for (unsigned configured : {7u, 0u}) {
        SCOPED_TRACE(configured);
        sim::NicTiming timing;
        timing.velocityCommandPolls = configured;
        sim::setNicTiming(timing);
        unsigned long delaysBefore = sim::delayUnits();
        ASSERT_TRUE(velocity.readWord(3, &word, &polls));
        EXPECT_EQ(polls, configured + 1);
        EXPECT_EQ(sim::delayUnits() - delaysBefore, 10u * configured);
    }
    // The frame leaves the enable and configuration bits cleared.
    EXPECT_EQ(velocity.in8(VelocityDriver::kEecsr) & 0x40, 0);
    EXPECT_EQ(velocity.in8(VelocityDriver::kConfig) & 0x80, 0);
}

TEST_F(VelocityModelTest, WritesTakeOnlyBetweenTheEnableAndDisableCommands) {
    std::vector<uint8_t> before = fileImage();
    EXPECT_TRUE(velocity.writeWord(22, 0xCAFE)) << "the command completes";
    EXPECT_EQ(fileImage(), before) << "but the EEPROM is write-protected";

    ASSERT_TRUE(velocity.instruct(0x04));
    ASSERT_TRUE(velocity.writeWord(22, 0xCAFE));
    ASSERT_TRUE(velocity.writeWord(23, 0xBABE));
    ASSERT_TRUE(velocity.instruct(0x08));
    ASSERT_TRUE(velocity.writeWord(24, 0x0000));

    std::vector<uint8_t> after = fileImage();
    EXPECT_EQ(wordOf(after, 22), 0xCAFE);
    EXPECT_EQ(wordOf(after, 23), 0xBABE);
    EXPECT_EQ(wordOf(after, 24), wordOf(before, 24));
    EXPECT_EQ(sim::nicEeprom(root), after);
    EXPECT_EQ(sim::nicOperations(),
              (Lines{"WRITE 0x16=0xcafe ignored: write disabled", "EWEN", "WRITE 0x16=0xcafe",
                     "WRITE 0x17=0xbabe", "EWDS", "WRITE 0x18=0x0000 ignored: write disabled"}));
    EXPECT_EQ(sim::nicStats().eepromWrites, 2u);
    EXPECT_EQ(sim::nicStats().ignoredWrites, 2u);

    reattach();
    uint16_t word = 0;
    ASSERT_TRUE(velocity.readWord(23, &word));
    EXPECT_EQ(word, 0xBABE);
    ASSERT_TRUE(velocity.writeWord(23, 0x0000));
    EXPECT_EQ(wordOf(fileImage(), 23), 0xBABE) << "the EEPROM powers up write-protected";
}

TEST_F(VelocityModelTest, CommandsNeedTheEnableAndConfigurationBitsAndLatchTheirAddress) {
    std::vector<uint8_t> image = fileImage();
    start(0x01, 5, false);
    EXPECT_EQ(pendingChecks(0x01, 100), 100) << "without the enable bit the command stays pending";
    velocity.setBits(VelocityDriver::kEecsr, 0x40);
    EXPECT_EQ(pendingChecks(0x01, 100), 2);
    EXPECT_EQ(velocity.readData(), wordOf(image, 5));

    // Without the configuration bit it does not run; clearing the enable drops it.
    velocity.clearBits(VelocityDriver::kConfig, 0x80);
    velocity.out8(VelocityDriver::kAddress, 6);
    velocity.setBits(VelocityDriver::kCommand, 0x01);
    EXPECT_EQ(pendingChecks(0x01, 100), 100);
    velocity.clearBits(VelocityDriver::kEecsr, 0x40);
    EXPECT_EQ(velocity.in8(VelocityDriver::kCommand) & 0x0F, 0);
    EXPECT_EQ(sim::nicOperations(), (Lines{"READ 0x05", "engine disabled: 1 command(s) dropped"}));

    start(0x01, 20);
    EXPECT_EQ(velocity.readData(), wordOf(image, 5)) << "a driver that does not wait gets the old word";
    velocity.out8(VelocityDriver::kAddress, 30);  // too late: latched with the command
    pendingChecks(0x01, 100);
    EXPECT_EQ(velocity.readData(), wordOf(image, 20));
    nicdrivers::bus().out16(VelocityDriver::kBase + VelocityDriver::kReadData, 0x0000);
    EXPECT_EQ(velocity.readData(), wordOf(image, 20)) << "software cannot write the read data";
}

TEST_F(VelocityModelTest, RefusingEngineStartsNothing) {
    ASSERT_TRUE(velocity.instruct(0x04));
    sim::setNicFault("refuse");
    EXPECT_EQ(velocity.in8(VelocityDriver::kEecsr) & 0x30, 0x30);
    std::vector<uint8_t> before = fileImage();
    unsigned long accesses = sim::portAccesses();
    EXPECT_FALSE(velocity.writeWord(10, 0x1010));
    EXPECT_EQ(sim::portAccesses() - accesses, 1u) << "only EECSR was read";
    start(0x02, 10);
    EXPECT_EQ(pendingChecks(0x02, 500), 500) << "a driver that goes on regardless never sees it done";
    velocity.out8(VelocityDriver::kEecsr, 0x00);
    EXPECT_EQ(fileImage(), before);

    // Direct programming set by software keeps the engine off the same way.
    sim::setNicFault("none");
    velocity.out8(VelocityDriver::kEecsr, 0x10);
    EXPECT_FALSE(velocity.writeWord(10, 0x1010));
    velocity.out8(VelocityDriver::kEecsr, 0x00);
    EXPECT_TRUE(velocity.writeWord(10, 0x1010));
    EXPECT_EQ(wordOf(fileImage(), 10), 0x1010);
}

TEST_F(VelocityModelTest, HeldEngineNeverFinishes) {
    for (const char *fault : {"busy", "timeout"}) {
        SCOPED_TRACE(fault);
        ASSERT_TRUE(velocity.instruct(0x04));
        std::vector<uint8_t> before = fileImage();
        sim::setNicFault(fault);
        unsigned polls = 0;
        uint16_t word = 0x5555;
        EXPECT_FALSE(velocity.readWord(1, &word, &polls));
        EXPECT_EQ(polls, 4095u);
        EXPECT_EQ(word, 0x5555);
        EXPECT_FALSE(velocity.writeWord(1, 0x0000));
        EXPECT_EQ(fileImage(), before);

        sim::setNicFault("none");
        EXPECT_TRUE(velocity.readWord(1, &word));
        EXPECT_EQ(word, wordOf(before, 1));
    }
}

}  // namespace
