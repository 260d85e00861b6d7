// The JMicron model: the SMBus master and its serial EEPROM.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/simmodels/nicDrivers.h"

namespace {

using nicdrivers::SmbusDriver;
using testing::Contains;

class JmicronModelTest : public nicdrivers::NicModelTest {
protected:
    void SetUp() override {
        NicModelTest::SetUp();
        attach("jmicron");
    }
    SmbusDriver smbus;
};

TEST_F(JmicronModelTest, ReadsTheMakersWindowByteByByte) {
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 256u);
    for (unsigned address = 0x40; address <= 0x58; ++address) {
        uint8_t byte = 0;
        ASSERT_TRUE(smbus.read(address, &byte)) << address;
        EXPECT_EQ(byte, image[address]) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 25u);
    EXPECT_EQ(smbus.status() & 0x600000, 0u);
    EXPECT_THAT(sim::nicOperations(), Contains("READ 0x50"));
}

TEST_F(JmicronModelTest, ATransactionRunsForItsBusTime) {
    EXPECT_EQ(smbus.status(), 0x30u) << "idle: auto-load done, EEPROM present";
    nicdrivers::bus().out32(SmbusDriver::kBase + 4, 0x50 << 8 | 0x30);
    unsigned long started = sim::portAccesses();
    EXPECT_NE(smbus.status() & 0x0F, 0u) << "the state machine runs";
    unsigned long doneAt = 0;
    while (doneAt == 0) {
        unsigned long at = sim::portAccesses() + 1;
        if ((smbus.interface() & 0x10) == 0) {
            doneAt = at;
        }
    }
    EXPECT_EQ(doneAt, started + sim::NicTiming().smbusReadTime);
    EXPECT_EQ(smbus.status() & 0x0F, 0u);
    uint32_t interface = smbus.interface();
    EXPECT_EQ(interface >> 24, fileImage()[0x50]);
    EXPECT_EQ(interface & 0xFFFF, 0x5020u) << "address and direction stay as written";
}

TEST_F(JmicronModelTest, WriteThenReadBack) {
    ASSERT_TRUE(smbus.write(0x52, 0xA7));
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x52, &byte));
    EXPECT_EQ(byte, 0xA7);
    EXPECT_EQ(fileImage()[0x52], 0xA7);
    EXPECT_EQ(sim::nicEeprom(root)[0x52], 0xA7);
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"WRITE 0x52=0xa7", "READ 0x52"}));
}

TEST_F(JmicronModelTest, EepromDoesNotAcknowledgeDuringItsWriteCycle) {
    // A transaction started straight away, without waiting out the write time.
    auto transaction = [this](uint32_t command) {
        smbus.clearErrors();
        ASSERT_TRUE(smbus.waitIdle());
        nicdrivers::bus().out32(SmbusDriver::kBase + 4, command);
        ASSERT_TRUE(smbus.waitDone());
    };
    std::vector<uint8_t> before = fileImage();
    transaction(0x11 << 16 | 0x50 << 8 | 0x10);
    EXPECT_EQ(smbus.status() & 0x600000, 0u);
    transaction(0x22 << 16 | 0x51 << 8 | 0x10);
    EXPECT_EQ(smbus.status() & 0x600000, 0x200000u);
    transaction(0x51 << 8 | 0x30);
    EXPECT_EQ(smbus.interface() >> 24, 0xFFu) << "a read in the write cycle reads all ones";
    EXPECT_EQ(smbus.status() & 0x600000, 0x200000u);

    nicdrivers::delayUnits(sim::NicTiming().smbusEepromWriteCycle);
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x51, &byte));
    EXPECT_EQ(byte, before[0x51]);
    EXPECT_EQ(smbus.status() & 0x600000, 0u);
    EXPECT_EQ(fileImage()[0x50], 0x11);
    EXPECT_EQ(fileImage()[0x51], before[0x51]);
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"WRITE 0x50=0x11", "WRITE 0x51=0x22 nack",
                                                              "READ 0x51 nack", "READ 0x51"}));
    EXPECT_EQ(sim::nicStats().ignoredWrites, 1u);
}

TEST_F(JmicronModelTest, ErrorBitsClearOnlyWhenWrittenBackAsOnes) {
    sim::setNicFault("refuse");
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x40, &byte));
    sim::setNicFault("none");
    nicdrivers::bus().out32(SmbusDriver::kBase + 4, 0x40 << 8 | 0x30);  // collides with nothing: idle
    ASSERT_TRUE(smbus.waitDone());
    nicdrivers::bus().out32(SmbusDriver::kBase + 4, 0x41 << 8 | 0x30);
    nicdrivers::bus().out32(SmbusDriver::kBase + 4, 0x42 << 8 | 0x30);  // while the first runs
    EXPECT_EQ(smbus.status() & 0x600000, 0x600000u);
    nicdrivers::bus().out32(SmbusDriver::kBase, 0x0000000F);
    EXPECT_EQ(smbus.status() & 0x600000, 0x600000u);
    nicdrivers::bus().out32(SmbusDriver::kBase, 0x400000);
    EXPECT_EQ(smbus.status() & 0x600000, 0x200000u);
    nicdrivers::bus().out8(SmbusDriver::kBase + 2, 0x20);
    EXPECT_EQ(smbus.status() & 0x600000, 0u);
    EXPECT_THAT(sim::nicOperations(), Contains("command dropped: a transaction is running"));
    ASSERT_TRUE(smbus.waitDone());
    EXPECT_EQ(smbus.interface() >> 24, fileImage()[0x41]) << "the first command ran, not the second";
}

TEST_F(JmicronModelTest, RefusingEepromAcknowledgesNothing) {
    std::vector<uint8_t> before = fileImage();
    sim::setNicFault("refuse");
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x50, &byte));
    EXPECT_EQ(byte, 0xFF);
    EXPECT_EQ(smbus.status() & 0x600000, 0x200000u);
    ASSERT_TRUE(smbus.write(0x50, 0x00));
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicOperations(), (std::vector<std::string>{"READ 0x50 nack", "WRITE 0x50=0x00 nack"}));
}

TEST_F(JmicronModelTest, HeldBusyBusNeverGoesIdle) {
    sim::setNicFault("busy");
    uint8_t byte = 0x12;
    EXPECT_FALSE(smbus.read(0x50, &byte, 1000));
    EXPECT_EQ(byte, 0x12);
    EXPECT_EQ(smbus.status() & 0x0F, 0x0Fu);
    EXPECT_TRUE(sim::nicOperations().empty());
    sim::setNicFault("none");
    EXPECT_TRUE(smbus.read(0x50, &byte));
    EXPECT_EQ(byte, fileImage()[0x50]);
}

TEST_F(JmicronModelTest, TimedOutCommandNeverFinishes) {
    std::vector<uint8_t> before = fileImage();
    sim::setNicFault("timeout");
    uint8_t byte = 0x12;
    EXPECT_FALSE(smbus.read(0x50, &byte, 1000));
    EXPECT_EQ(byte, 0x12);
    EXPECT_EQ(smbus.status() & 0x0F, 0u) << "the bus itself looks idle";
    EXPECT_EQ(smbus.interface() & 0x10, 0x10u);
    EXPECT_FALSE(smbus.write(0x50, 0x00, 1000));
    EXPECT_EQ(fileImage(), before);
    sim::setNicFault("none");
    EXPECT_EQ(smbus.interface() & 0x10, 0u);
    EXPECT_THAT(sim::nicOperations(), Contains("READ 0x50 dropped"));
    EXPECT_TRUE(smbus.write(0x50, 0x00));
    EXPECT_EQ(fileImage()[0x50], 0x00);
}

TEST_F(JmicronModelTest, RegistersTakeAccessesOfAnyWidth) {
    // Address, data and then the command byte: the command starts with both.
    nicdrivers::bus().out8(SmbusDriver::kBase + 5, 0x55);
    nicdrivers::bus().out8(SmbusDriver::kBase + 6, 0x99);
    EXPECT_EQ(smbus.interface() & 0x00FFFF00, 0x00995500u);
    nicdrivers::bus().out8(SmbusDriver::kBase + 4, 0x10);
    ASSERT_TRUE(smbus.waitDone());
    EXPECT_EQ(fileImage()[0x55], 0x99);
    EXPECT_EQ(nicdrivers::bus().in16(SmbusDriver::kBase + 4) & 0xFF00, 0x5500);
    // The rest of the I/O block is plain storage.
    nicdrivers::bus().out32(0x2000, 0x01020304);
    EXPECT_EQ(nicdrivers::bus().in32(0x2000), 0x01020304u);
    EXPECT_EQ(nicdrivers::bus().in8(0x2002), 0x02);
    EXPECT_EQ(nicdrivers::bus().in8(0x1FFF), 0xFF) << "below the I/O block";
}

TEST_F(JmicronModelTest, TheWindowWrittenWithTheWriteTimePersists) {
    std::vector<uint8_t> window;
    for (unsigned address = 0x40; address <= 0x58; ++address) {
        window.push_back(static_cast<uint8_t>(address ^ 0x5A));
        ASSERT_TRUE(smbus.write(address, window.back()));
    }
    EXPECT_EQ(smbus.status() & 0x600000, 0u);
    EXPECT_EQ(sim::nicStats().eepromWrites, 25u);
    sim::resetPortBus();
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    for (unsigned address = 0x40; address <= 0x58; ++address) {
        uint8_t byte = 0;
        ASSERT_TRUE(smbus.read(address, &byte));
        EXPECT_EQ(byte, window[address - 0x40]) << address;
    }
}

}  // namespace
