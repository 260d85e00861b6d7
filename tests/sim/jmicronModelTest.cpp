// The JMicron model: the SMBus master and its serial EEPROM.
#include "tests/sim/nicDrivers.h"

namespace {

using nicdrivers::bus;
using nicdrivers::SmbusDriver;
using testing::Contains;
using Lines = std::vector<std::string>;

class JmicronModelTest : public nicdrivers::ModelTest<SmbusDriver> {
protected:
    SmbusDriver &smbus = driver;
    void command(uint32_t value) { bus().out32(SmbusDriver::kBase + 4, value); }
};

TEST_F(JmicronModelTest, ATransactionRunsForItsBusTime) {
    EXPECT_EQ(smbus.status(), 0x30u) << "idle: auto-load done, EEPROM present";
    command(0x50 << 8 | 0x30);
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

TEST_F(JmicronModelTest, EepromDoesNotAcknowledgeDuringItsWriteCycle) {
    // Transactions started straight away, without waiting out the write time.
    auto transaction = [this](uint32_t value) {
        smbus.clearErrors();
        ASSERT_TRUE(smbus.waitIdle());
        command(value);
        ASSERT_TRUE(smbus.waitDone());
    };
    std::vector<uint8_t> before = fileImage();
    transaction(0x11 << 16 | 0x50 << 8 | 0x10);
    EXPECT_EQ(smbus.errors(), 0u);
    transaction(0x22 << 16 | 0x51 << 8 | 0x10);
    EXPECT_EQ(smbus.errors(), 0x200000u);
    transaction(0x51 << 8 | 0x30);
    EXPECT_EQ(smbus.interface() >> 24, 0xFFu) << "a read in the write cycle reads all ones";
    EXPECT_EQ(smbus.errors(), 0x200000u);

    nicdrivers::delayUnits(sim::NicTiming().smbusEepromWriteCycle);
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x51, &byte));
    EXPECT_EQ(byte, before[0x51]);
    EXPECT_EQ(smbus.errors(), 0u);
    EXPECT_EQ(fileImage()[0x50], 0x11);
    EXPECT_EQ(fileImage()[0x51], before[0x51]);
    EXPECT_EQ(sim::nicOperations(),
              (Lines{"WRITE 0x50=0x11", "WRITE 0x51=0x22 nack", "READ 0x51 nack", "READ 0x51"}));
    EXPECT_EQ(sim::nicStats().ignoredWrites, 1u);
}

TEST_F(JmicronModelTest, ErrorBitsClearOnlyWhenWrittenBackAsOnes) {
    sim::setNicFault("refuse");
    uint8_t byte = 0;
    ASSERT_TRUE(smbus.read(0x40, &byte));
    sim::setNicFault("none");
    command(0x40 << 8 | 0x30);  // collides with nothing: idle
    ASSERT_TRUE(smbus.waitDone());
    command(0x41 << 8 | 0x30);
    command(0x42 << 8 | 0x30);  // while the first runs
    EXPECT_EQ(smbus.errors(), 0x600000u);
    bus().out32(SmbusDriver::kBase, 0x0000000F);
    EXPECT_EQ(smbus.errors(), 0x600000u);
    bus().out32(SmbusDriver::kBase, 0x400000);
    EXPECT_EQ(smbus.errors(), 0x200000u);
    bus().out8(SmbusDriver::kBase + 2, 0x20);
    EXPECT_EQ(smbus.errors(), 0u);
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
    EXPECT_EQ(smbus.errors(), 0x200000u);
    ASSERT_TRUE(smbus.write(0x50, 0x00));
    EXPECT_EQ(fileImage(), before);
    EXPECT_EQ(sim::nicOperations(), (Lines{"READ 0x50 nack", "WRITE 0x50=0x00 nack"}));
}

TEST_F(JmicronModelTest, BusyBusOrTimedOutCommandNeverFinishes) {
    struct Case {
        const char *fault;
        uint32_t busyBits;     // status & 0x0F while the fault holds
        uint32_t commandBit;   // interface & 0x10 while the fault holds
        const char *operation; // what the model records, "" for nothing
    } const kCases[] = {{"busy", 0x0F, 0, ""}, {"timeout", 0, 0x10, "READ 0x50 dropped"}};
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.fault);
        reattach();
        std::vector<uint8_t> before = fileImage();
        sim::setNicFault(c.fault);
        uint8_t byte = 0x12;
        EXPECT_FALSE(smbus.read(0x50, &byte, 1000));
        EXPECT_EQ(byte, 0x12);
        EXPECT_EQ(smbus.status() & 0x0F, c.busyBits);
        EXPECT_EQ(smbus.interface() & 0x10, c.commandBit);
        EXPECT_FALSE(smbus.write(0x50, 0x00, 1000));
        EXPECT_EQ(fileImage(), before);
        sim::setNicFault("none");
        EXPECT_EQ(smbus.interface() & 0x10, 0u);
        if (*c.operation == '\0') {
            EXPECT_TRUE(sim::nicOperations().empty());
        } else {
            EXPECT_THAT(sim::nicOperations(), Contains(c.operation));
        }
        EXPECT_TRUE(smbus.read(0x50, &byte));
        EXPECT_EQ(byte, before[0x50]);
    }
}

TEST_F(JmicronModelTest, RegistersTakeAccessesOfAnyWidth) {
    // Address, data and then the command byte: the command starts with both.
    bus().out8(SmbusDriver::kBase + 5, 0x55);
    bus().out8(SmbusDriver::kBase + 6, 0x99);
    EXPECT_EQ(smbus.interface() & 0x00FFFF00, 0x00995500u);
    bus().out8(SmbusDriver::kBase + 4, 0x10);
    ASSERT_TRUE(smbus.waitDone());
    EXPECT_EQ(fileImage()[0x55], 0x99);
    EXPECT_EQ(bus().in16(SmbusDriver::kBase + 4) & 0xFF00, 0x5500);
    // The rest of the I/O block is plain storage.
    bus().out32(0x2000, 0x01020304);
    EXPECT_EQ(bus().in32(0x2000), 0x01020304u);
    EXPECT_EQ(bus().in8(0x2002), 0x02);
    EXPECT_EQ(bus().in8(0x1FFF), 0xFF) << "below the I/O block";
}

TEST_F(JmicronModelTest, TheWindowWrittenWithTheWriteTimeReadsBackInTheNextRun) {
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 256u);
    for (unsigned address = 0x40; address <= 0x58; ++address) {
        image[address] = static_cast<uint8_t>(address ^ 0x5A);
        ASSERT_TRUE(smbus.write(address, image[address]));
    }
    EXPECT_EQ(smbus.errors(), 0u);
    EXPECT_EQ(sim::nicStats().eepromWrites, 25u);
    EXPECT_EQ(sim::nicEeprom(root), image);
    reattach();
    EXPECT_EQ(fileImage(), image);
    for (unsigned address = 0x40; address <= 0x58; ++address) {
        uint8_t byte = 0;
        ASSERT_TRUE(smbus.read(address, &byte));
        EXPECT_EQ(byte, image[address]) << address;
    }
    EXPECT_EQ(sim::nicStats().eepromReads, 25u);
    EXPECT_EQ(smbus.errors(), 0u);
    EXPECT_THAT(sim::nicOperations(), Contains("READ 0x50"));
}

}  // namespace
