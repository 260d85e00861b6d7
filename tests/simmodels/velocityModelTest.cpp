// The Velocity model: the embedded EEPROM engine and its command register.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/simmodels/nicDrivers.h"

namespace {

using nicdrivers::VelocityDriver;
using nicdrivers::wordOf;
using testing::Contains;

class VelocityModelTest : public nicdrivers::NicModelTest {
protected:
    void SetUp() override {
        NicModelTest::SetUp();
        attach("velocity");
    }
    VelocityDriver velocity;
};

TEST_F(VelocityModelTest, ReadsEveryWordAfterTheConfiguredPolls) {
    std::vector<uint8_t> image = fileImage();
    for (unsigned address = 0; address < 64; ++address) {
        uint16_t word = 0;
        unsigned polls = 0;
        ASSERT_TRUE(velocity.readWord(address, &word, &polls)) << address;
        EXPECT_EQ(word, wordOf(image, address)) << address;
        EXPECT_EQ(polls, sim::NicTiming().velocityCommandPolls + 1) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 64u);

    sim::NicTiming timing;
    timing.velocityCommandPolls = 7;
    sim::setNicTiming(timing);
    uint16_t word = 0;
    unsigned polls = 0;
    unsigned long delaysBefore = sim::delayUnits();
    ASSERT_TRUE(velocity.readWord(3, &word, &polls));
    EXPECT_EQ(polls, 8u);
    EXPECT_EQ(sim::delayUnits() - delaysBefore, 70u);
    timing.velocityCommandPolls = 0;
    sim::setNicTiming(timing);
    ASSERT_TRUE(velocity.readWord(3, &word, &polls));
    EXPECT_EQ(polls, 1u);
    // The frame leaves the enable and configuration bits cleared.
    EXPECT_EQ(velocity.in8(VelocityDriver::kEecsr) & 0x40, 0);
    EXPECT_EQ(velocity.in8(VelocityDriver::kConfig) & 0x80, 0);
}

TEST_F(VelocityModelTest, WritesTakeOnlyBetweenTheEnableAndDisableCommands) {
    std::vector<uint8_t> before = fileImage();
    EXPECT_TRUE(velocity.writeWord(22, 0xCAFE)) << "the command completes";
    EXPECT_EQ(fileImage(), before) << "but the EEPROM is write-protected";

    ASSERT_TRUE(velocity.issue(0x04));
    ASSERT_TRUE(velocity.writeWord(22, 0xCAFE));
    ASSERT_TRUE(velocity.writeWord(23, 0xBABE));
    ASSERT_TRUE(velocity.issue(0x08));
    ASSERT_TRUE(velocity.writeWord(24, 0x0000));

    std::vector<uint8_t> after = fileImage();
    EXPECT_EQ(wordOf(after, 22), 0xCAFE);
    EXPECT_EQ(wordOf(after, 23), 0xBABE);
    EXPECT_EQ(wordOf(after, 24), wordOf(before, 24));
    EXPECT_EQ(sim::nicEeprom(root), after);
    EXPECT_EQ(sim::nicOperations(),
              (std::vector<std::string>{"WRITE 0x16=0xcafe ignored: write disabled", "EWEN",
                                        "WRITE 0x16=0xcafe", "WRITE 0x17=0xbabe", "EWDS",
                                        "WRITE 0x18=0x0000 ignored: write disabled"}));
    EXPECT_EQ(sim::nicStats().eepromWrites, 2u);
    EXPECT_EQ(sim::nicStats().ignoredWrites, 2u);
}

TEST_F(VelocityModelTest, ReadDataChangesOnlyWhenTheCommandIsDone) {
    std::vector<uint8_t> image = fileImage();
    uint16_t word = 0;
    ASSERT_TRUE(velocity.readWord(0, &word));
    velocity.setBits(VelocityDriver::kConfig, 0x80);
    velocity.out8(VelocityDriver::kAddress, 20);
    velocity.setBits(VelocityDriver::kEecsr, 0x40);
    velocity.setBits(VelocityDriver::kCommand, 0x01);
    // A driver that takes the data without waiting gets the old word.
    EXPECT_EQ(nicdrivers::bus().in16(VelocityDriver::kBase + VelocityDriver::kReadData), wordOf(image, 0));
    // The address is latched with the command: changing it now is too late.
    velocity.out8(VelocityDriver::kAddress, 30);
    while ((velocity.in8(VelocityDriver::kCommand) & 0x01) != 0) {
    }
    EXPECT_EQ(nicdrivers::bus().in16(VelocityDriver::kBase + VelocityDriver::kReadData), wordOf(image, 20));
    // Software cannot write the read data.
    nicdrivers::bus().out16(VelocityDriver::kBase + VelocityDriver::kReadData, 0x0000);
    EXPECT_EQ(nicdrivers::bus().in16(VelocityDriver::kBase + VelocityDriver::kReadData), wordOf(image, 20));
}

TEST_F(VelocityModelTest, TheEngineNeedsItsEnableAndTheConfigurationBit) {
    std::vector<uint8_t> image = fileImage();
    // Without the enable bit the command stays pending.
    velocity.setBits(VelocityDriver::kConfig, 0x80);
    velocity.out8(VelocityDriver::kAddress, 5);
    velocity.setBits(VelocityDriver::kCommand, 0x01);
    for (int poll = 0; poll < 100; ++poll) {
        ASSERT_EQ(velocity.in8(VelocityDriver::kCommand) & 0x01, 0x01);
    }
    // Enabled, it runs.
    velocity.setBits(VelocityDriver::kEecsr, 0x40);
    int polls = 0;
    while ((velocity.in8(VelocityDriver::kCommand) & 0x01) != 0) {
        ++polls;
    }
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(nicdrivers::bus().in16(VelocityDriver::kBase + VelocityDriver::kReadData), wordOf(image, 5));

    // Without the configuration bit it does not; clearing the enable drops it.
    velocity.clearBits(VelocityDriver::kConfig, 0x80);
    velocity.out8(VelocityDriver::kAddress, 6);
    velocity.setBits(VelocityDriver::kCommand, 0x01);
    for (int poll = 0; poll < 100; ++poll) {
        ASSERT_EQ(velocity.in8(VelocityDriver::kCommand) & 0x01, 0x01);
    }
    velocity.clearBits(VelocityDriver::kEecsr, 0x40);
    EXPECT_EQ(velocity.in8(VelocityDriver::kCommand) & 0x0F, 0);
    EXPECT_EQ(sim::nicOperations(),
              (std::vector<std::string>{"READ 0x05", "engine disabled: 1 command(s) dropped"}));
}

TEST_F(VelocityModelTest, RefusingEngineStartsNothing) {
    ASSERT_TRUE(velocity.issue(0x04));
    sim::setNicFault("refuse");
    EXPECT_EQ(velocity.in8(VelocityDriver::kEecsr) & 0x30, 0x30);
    std::vector<uint8_t> before = fileImage();
    unsigned long accesses = sim::portAccesses();
    EXPECT_FALSE(velocity.writeWord(10, 0x1010));
    EXPECT_EQ(sim::portAccesses() - accesses, 1u) << "only EECSR was read";
    // A driver that goes on regardless finds its command never done.
    unsigned polls = 0;
    velocity.setBits(VelocityDriver::kConfig, 0x80);
    velocity.out8(VelocityDriver::kAddress, 10);
    velocity.setBits(VelocityDriver::kEecsr, 0x40);
    velocity.setBits(VelocityDriver::kCommand, 0x02);
    while (polls < 500 && (velocity.in8(VelocityDriver::kCommand) & 0x02) != 0) {
        ++polls;
    }
    EXPECT_EQ(polls, 500u);
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
        ASSERT_TRUE(velocity.issue(0x04));
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

TEST_F(VelocityModelTest, WritesPersistAcrossRuns) {
    ASSERT_TRUE(velocity.issue(0x04));
    ASSERT_TRUE(velocity.writeWord(63, 0x1234));
    ASSERT_TRUE(velocity.issue(0x08));
    sim::resetPortBus();
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    uint16_t word = 0;
    ASSERT_TRUE(velocity.readWord(63, &word));
    EXPECT_EQ(word, 0x1234);
    // The part powers up write-protected.
    ASSERT_TRUE(velocity.writeWord(63, 0x0000));
    EXPECT_EQ(wordOf(fileImage(), 63), 0x1234);
}

}  // namespace
