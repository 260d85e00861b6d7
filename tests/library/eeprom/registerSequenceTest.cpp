// The register accesses and delay units of the bit-, word- and byte-level
// functions, against a port double that answers fixed register values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::IsEmpty;

namespace {

using eepromtest::Access;
using eepromtest::expectSequence;
using eepromtest::PortDouble;
using eepromtest::R;
using eepromtest::W;
using RegisterSequenceTest = eepromtest::PortBusTest;

// ---- VIA Rhine -------------------------------------------------------------

constexpr uint16_t kRhine = 0xE000;
constexpr uint16_t kEecsr = kRhine + 0x74;
constexpr uint16_t kConfig = kRhine + 0x78;

TEST_F(RegisterSequenceTest, RhineWordReadClocksOpcodeAddressAndSixteenBits) {
    // Data-out high: every bit reads as 1.
    PortDouble ports(kRhine, 0x80, {{kConfig, 0x00}, {kEecsr, 0x01}});
    EXPECT_EQ(SROMwReadDirect(kRhine, 5), 0xFFFF);

    // Config bit 0x80 and EECSR bit 0x10 without delay, then chip select and
    // the start bit, 10 units after each line change.
    std::vector<Access> expected = {R(kConfig, 0),       W(kConfig, 0x80, 0), R(kEecsr, 0),
                                    W(kEecsr, 0x11, 0),  W(kEecsr, 0x10, 0),  W(kEecsr, 0x18, 10),
                                    W(kEecsr, 0x1a, 10), W(kEecsr, 0x1e, 10)};
    for (int bit = 7; bit >= 0; --bit) {  // read opcode and address 5
        bool one = ((0x85 >> bit) & 1) != 0;
        expected.push_back(W(kEecsr, one ? 0x1a : 0x18, 10));
        expected.push_back(W(kEecsr, one ? 0x1e : 0x1c, 10));
    }
    for (int bit = 0; bit < 16; ++bit) {
        expected.push_back(W(kEecsr, 0x18, 10));
        expected.push_back(W(kEecsr, 0x1c, 10));
        expected.push_back(R(kEecsr, 10));
    }
    // Deselect, and both bits given back.
    for (const Access &access : {W(kEecsr, 0x10, 10), R(kEecsr, 10), W(kEecsr, 0x01, 0),
                                 R(kConfig, 0), W(kConfig, 0x00, 0)}) {
        expected.push_back(access);
    }
    expectSequence(ports.accesses, expected);
    EXPECT_EQ(sim::delayUnits(), 690u);
}

TEST_F(RegisterSequenceTest, RhineWriteRefusedWhileBits0x70AreSet) {
    for (uint32_t refusing : {0x10u, 0x20u, 0x40u}) {
        SCOPED_TRACE(refusing);
        sim::resetPortBus();
        PortDouble ports(kRhine, 0x80, {{kEecsr, refusing}});
        EXPECT_EQ(SROMbWriteDirect(kRhine, 3, 0x1234), 0);
        // One look at EECSR (with its settling time), no line touched.
        expectSequence(ports.accesses, {R(kEecsr, 0)});
        EXPECT_EQ(sim::delayUnits(), 10u);
    }
}

TEST_F(RegisterSequenceTest, RhineWriteGivesUpAfter4095Polls) {
    // Never ready.
    PortDouble ports(kRhine, 0x80, {{kConfig, 0x00}, {kEecsr, 0x00}});
    EXPECT_EQ(SROMbWriteDirect(kRhine, 1, 0xFFFF), 0);
    // Check, start bit, 8 + 16 bits, reselect, the polls, deselect.
    EXPECT_EQ(sim::delayUnits(), 10u + 40 + 480 + 20 + 4095 * 10 + 10);
    // The lines are still released.
    EXPECT_EQ(ports.accesses.back().port, kConfig);
    EXPECT_TRUE(ports.accesses.back().write);
}

// ---- VIA Velocity ---------------------------------------------------------

constexpr uint16_t kVelocity = 0xD800;
constexpr uint16_t kVelConfig = kVelocity + 0x7a;
constexpr uint16_t kVelWriteData = kVelocity + 0x8c;
constexpr uint16_t kVelEecsr = kVelocity + 0x93;
constexpr uint16_t kVelReadData = kVelocity + 0x94;
constexpr uint16_t kVelAddress = kVelocity + 0x96;
constexpr uint16_t kVelCommand = kVelocity + 0x97;

TEST_F(RegisterSequenceTest, VelocityRefusedCommandTouchesNothing) {
    for (uint32_t refusing : {0x10u, 0x20u, 0x30u}) {
        SCOPED_TRACE(refusing);
        sim::resetPortBus();
        PortDouble ports(kVelocity, 0x100, {{kVelEecsr, refusing}});
        EXPECT_EQ(SROMbReadEmbededNevika(kVelocity, 7), 0);
        EXPECT_EQ(SROMbWriteEmbededNevika(kVelocity, 0, 7, 0x1234), 0);
        EXPECT_EQ(SROMbIssueEmbeded(kVelocity, 0x04), 0);
        expectSequence(ports.accesses, {R(kVelEecsr, 0), R(kVelEecsr, 0), R(kVelEecsr, 0)});
    }
}

TEST_F(RegisterSequenceTest, VelocityCommandTimesOutAfter4095Checks) {
    // The engine never finishes.
    PortDouble ports(kVelocity, 0x100,
                     {{kVelEecsr, 0x00}, {kVelConfig, 0x00}, {kVelCommand, 0x0F}});
    EXPECT_EQ(SROMbIssueEmbeded(kVelocity, 0x08), 0);
    EXPECT_EQ(sim::delayUnits(), 4095u * 10);
    // Enable and access bits are released even so.
    expectSequence(ports.writes(), {W(kVelConfig, 0x80, 0), W(kVelEecsr, 0x40, 0),
                                    W(kVelCommand, 0x0F, 0), W(kVelEecsr, 0x00, 0),
                                    W(kVelConfig, 0x00, 0)});
}

TEST_F(RegisterSequenceTest, VelocityBitsOffOnlyWhenNoMaskBitIsSet) {
    PortDouble ports(kVelocity, 0x100);
    for (uint32_t command : {0x00u, 0x01u, 0x02u, 0x03u, 0x04u}) {
        ports.answers[kVelCommand] = command;
        EXPECT_EQ(MACbIsRegBitsOff(kVelocity, 0x97, 0x03), (command & 0x03) == 0 ? 1 : 0)
            << command;
    }
}

// ---- JMicron SMBus ----------------------------------------------------------

constexpr uint16_t kSmb = 0x2040;
constexpr uint16_t kSmbInterface = kSmb + 4;

Access r32(uint16_t port) { return R(port, 6, 4); }
Access w32(uint16_t port, uint32_t value) { return W(port, value, 6, 4); }

const std::vector<Access> kByteRead = {r32(kSmb), w32(kSmb, 0x00600000), r32(kSmb),
                                       w32(kSmbInterface, 0x5030), r32(kSmbInterface),
                                       r32(kSmb), r32(kSmbInterface)};

TEST_F(RegisterSequenceTest, JmicronTransactionEndingInAnErrorIsAFailedByte) {
    // The EEPROM did not acknowledge.
    PortDouble ports(kSmb, 8, {{kSmb, 0x00200000}, {kSmbInterface, 0x5A000000}});
    testing::internal::CaptureStdout();
    EXPECT_EQ(smb_read8(kSmb, 0x50), 0xFF);
    // The same transaction, not repeated.
    expectSequence(ports.accesses, kByteRead);
    EXPECT_EQ(smb_write8(kSmb, 0x50, 0x11), 0xFF);
    EXPECT_EQ(ports.accesses.size(), 7u + 6);
    EXPECT_EQ(sim::delayUnits(), 42u + 36 + 4200);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), IsEmpty());
    // Asking for a repeat would loop for as long as the EEPROM does not answer.
    EXPECT_EQ(is_smb_error(kSmb), 0);
}

TEST_F(RegisterSequenceTest, JmicronBusOrTransactionThatNeverEndsFailsTheByte) {
    struct Case {
        uint32_t status;     // at the base
        uint32_t interface;  // at the base + 4
        const char *printed;
        unsigned long readDelays;
        size_t writes;  // by the read and the write together
    };
    // Busy bits held: 65534 polls; the command bit held: as many after the
    // busy check.
    for (const Case &c : {Case{0x04, 0x00, "return from  smb_busy \n", 12 + 65534 * 6, 2},
                          Case{0x00, 0x10, "return from  smb_finish \n", 24 + 65534 * 6, 4}}) {
        SCOPED_TRACE(c.printed);
        sim::resetPortBus();
        PortDouble ports(kSmb, 8, {{kSmb, c.status}, {kSmbInterface, c.interface}});
        testing::internal::CaptureStdout();
        EXPECT_EQ(smb_read8(kSmb, 0x40), 0xFF);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(sim::delayUnits(), c.readDelays);
        testing::internal::CaptureStdout();
        EXPECT_EQ(smb_write8(kSmb, 0x40, 1), 0xFF);
        EXPECT_THAT(testing::internal::GetCapturedStdout(), IsEmpty());
        // Error-status clearing, and the transaction only on an idle bus.
        EXPECT_EQ(ports.writes().size(), c.writes);
    }
}

}  // namespace
