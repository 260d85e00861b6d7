// The register accesses and delay units of the bit-, word- and byte-level
// functions, against a port double that answers fixed register values.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/eeprom/eepromTestSupport.h"

using ::testing::IsEmpty;

namespace {

using eepromtest::Access;
using eepromtest::PortDouble;

class RegisterSequenceTest : public ::testing::Test {
protected:
    void SetUp() override { sim::resetPortBus(); }
    void TearDown() override { sim::resetPortBus(); }
};

Access R(uint16_t port, unsigned long delays) { return {false, port, 1, 0, delays}; }
Access W(uint16_t port, uint32_t value, unsigned long delays) { return {true, port, 1, value, delays}; }

// Compares port, direction, written value and the delay units before each.
void expectSequence(const std::vector<Access> &seen, const std::vector<Access> &expected) {
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t at = 0; at < seen.size(); ++at) {
        EXPECT_EQ(seen[at].write, expected[at].write) << "access " << at;
        EXPECT_EQ(seen[at].port, expected[at].port) << "access " << at;
        EXPECT_EQ(seen[at].delaysBefore, expected[at].delaysBefore) << "access " << at;
        if (expected[at].write) {
            EXPECT_EQ(seen[at].value, expected[at].value) << "access " << at;
        }
    }
}

// ---- VIA Rhine -------------------------------------------------------------

constexpr uint16_t kRhine = 0xE000;
constexpr uint16_t kEecsr = kRhine + 0x74;
constexpr uint16_t kConfig = kRhine + 0x78;

// Start of every access: config bit 0x80 and EECSR bit 0x10 without delay,
// then chip select and the start bit, 10 units after each line change.
void openLines(std::vector<Access> *expected, uint32_t eecsr, unsigned long firstDelay) {
    *expected = {R(kConfig, firstDelay), W(kConfig, 0x80, 0), R(kEecsr, 0), W(kEecsr, eecsr | 0x10, 0),
                 W(kEecsr, 0x10, 0), W(kEecsr, 0x18, 10), W(kEecsr, 0x1a, 10), W(kEecsr, 0x1e, 10)};
}

void sendBits(std::vector<Access> *expected, unsigned int value, int count) {
    for (int bit = count - 1; bit >= 0; --bit) {
        bool one = ((value >> bit) & 1) != 0;
        expected->push_back(W(kEecsr, one ? 0x1a : 0x18, 10));
        expected->push_back(W(kEecsr, one ? 0x1e : 0x1c, 10));
    }
}

void closeLines(std::vector<Access> *expected, uint32_t eecsr) {
    expected->push_back(R(kEecsr, 10));
    expected->push_back(W(kEecsr, eecsr & 0xef, 0));
    expected->push_back(R(kConfig, 0));
    expected->push_back(W(kConfig, 0, 0));
}

TEST_F(RegisterSequenceTest, RhineWordReadClocksOpcodeAddressAndSixteenBits) {
    PortDouble ports(kRhine, 0x80);
    ports.answer(kConfig, 0x00);
    ports.answer(kEecsr, 0x01);  // data-out high: every bit reads as 1
    ports.attach();

    EXPECT_EQ(SROMwReadDirect(kRhine, 5), 0xFFFF);

    std::vector<Access> expected;
    openLines(&expected, 0x01, 0);
    sendBits(&expected, 0x85, 8);
    for (int bit = 0; bit < 16; ++bit) {
        expected.push_back(W(kEecsr, 0x18, 10));
        expected.push_back(W(kEecsr, 0x1c, 10));
        expected.push_back(R(kEecsr, 10));
    }
    expected.push_back(W(kEecsr, 0x10, 10));
    closeLines(&expected, 0x01);
    expectSequence(ports.accesses(), expected);
    // 53 line changes and 16 samples, 10 units each.
    EXPECT_EQ(sim::delayUnits(), 690u);
}

TEST_F(RegisterSequenceTest, RhineIssueLowersTheClockAfterEveryBit) {
    PortDouble ports(kRhine, 0x80);
    ports.answer(kConfig, 0x00);
    ports.answer(kEecsr, 0x00);
    ports.attach();

    SROMvIssueDirect(kRhine, 0x30);

    std::vector<Access> expected;
    openLines(&expected, 0x00, 0);
    for (int bit = 7; bit >= 0; --bit) {
        sendBits(&expected, (0x30 >> bit) & 1, 1);
        expected.push_back(W(kEecsr, 0x18, 10));
    }
    expected.push_back(W(kEecsr, 0x10, 10));
    expected.push_back(W(kEecsr, 0x14, 10));
    closeLines(&expected, 0x00);
    expectSequence(ports.accesses(), expected);
    EXPECT_EQ(sim::delayUnits(), 300u);
}

TEST_F(RegisterSequenceTest, RhineWriteRefusedWhileBits0x70AreSet) {
    for (uint32_t refusing : {0x10u, 0x20u, 0x40u}) {
        sim::resetPortBus();
        PortDouble ports(kRhine, 0x80);
        ports.answer(kEecsr, refusing);
        ports.attach();
        EXPECT_EQ(SROMbWriteDirect(kRhine, 3, 0x1234), 0) << refusing;
        // One look at EECSR (with its settling time), no line touched.
        expectSequence(ports.accesses(), {R(kEecsr, 0)});
        EXPECT_EQ(sim::delayUnits(), 10u);
    }
}

TEST_F(RegisterSequenceTest, RhineWriteSendsTheWordThenWaitsForReady) {
    PortDouble ports(kRhine, 0x80);
    ports.answer(kConfig, 0x00);
    ports.answer(kEecsr, 0x01);  // ready at the first poll
    ports.attach();

    EXPECT_EQ(SROMbWriteDirect(kRhine, 0x3F, 0xA55A), 1);

    std::vector<Access> expected = {R(kEecsr, 0)};
    std::vector<Access> open;
    openLines(&open, 0x01, 10);
    expected.insert(expected.end(), open.begin(), open.end());
    sendBits(&expected, 0x7F, 8);
    sendBits(&expected, 0xA55A, 16);
    expected.push_back(W(kEecsr, 0x10, 10));
    expected.push_back(W(kEecsr, 0x18, 10));
    expected.push_back(R(kEecsr, 10));
    expected.push_back(W(kEecsr, 0x10, 10));
    closeLines(&expected, 0x01);
    expectSequence(ports.accesses(), expected);
}

TEST_F(RegisterSequenceTest, RhineWriteGivesUpAfter4095Polls) {
    PortDouble ports(kRhine, 0x80);
    ports.answer(kConfig, 0x00);
    ports.answer(kEecsr, 0x00);  // never ready
    ports.attach();
    EXPECT_EQ(SROMbWriteDirect(kRhine, 1, 0xFFFF), 0);
    // Check, start bit, 8 + 16 bits, reselect, the polls, deselect.
    EXPECT_EQ(sim::delayUnits(), 10u + 40 + 480 + 20 + 4095 * 10 + 10);
    // The lines are still released.
    ASSERT_GE(ports.accesses().size(), 2u);
    EXPECT_EQ(ports.accesses().back().port, kConfig);
    EXPECT_TRUE(ports.accesses().back().write);
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
        sim::resetPortBus();
        PortDouble ports(kVelocity, 0x100);
        ports.answer(kVelEecsr, refusing);
        ports.attach();
        EXPECT_EQ(SROMbReadEmbededNevika(kVelocity, 7), 0);
        EXPECT_EQ(SROMbWriteEmbededNevika(kVelocity, 0, 7, 0x1234), 0);
        EXPECT_EQ(SROMbIssueEmbeded(kVelocity, 0x04), 0);
        EXPECT_THAT(ports.writes(), IsEmpty());
        expectSequence(ports.accesses(), {R(kVelEecsr, 0), R(kVelEecsr, 0), R(kVelEecsr, 0)});
    }
}

TEST_F(RegisterSequenceTest, VelocityReadFrame) {
    PortDouble ports(kVelocity, 0x100);
    ports.answer(kVelEecsr, 0x00);
    ports.answer(kVelConfig, 0x01);
    ports.answer(kVelCommand, 0x00);  // done at the first check
    ports.answer(kVelReadData, 0xBEEF);
    ports.attach();

    EXPECT_EQ(SROMbReadEmbededNevika(kVelocity, 0x21), 0xBEEF);

    expectSequence(ports.accesses(),
                   {R(kVelEecsr, 0), R(kVelConfig, 0), W(kVelConfig, 0x81, 0),
                    W(kVelAddress, 0x21, 0), R(kVelEecsr, 0), W(kVelEecsr, 0x40, 0),
                    R(kVelCommand, 0), W(kVelCommand, 0x01, 0), R(kVelCommand, 0),
                    R(kVelEecsr, 0), W(kVelEecsr, 0x00, 0), R(kVelConfig, 0),
                    W(kVelConfig, 0x01, 0), R(kVelReadData, 0)});
    EXPECT_EQ(ports.accesses().back().width, 2);
    EXPECT_EQ(sim::delayUnits(), 0u);
}

TEST_F(RegisterSequenceTest, VelocityWriteFrameLoadsAddressThenData) {
    PortDouble ports(kVelocity, 0x100);
    ports.answer(kVelEecsr, 0x00);
    ports.answer(kVelConfig, 0x00);
    ports.answer(kVelCommand, 0x00);
    ports.attach();
    EXPECT_EQ(SROMbWriteEmbededNevika(kVelocity, 0x55, 0x3F, 0xCAFE), 1);
    std::vector<Access> writes = ports.writes();
    ASSERT_EQ(writes.size(), 7u);
    EXPECT_EQ(writes[1].port, kVelAddress);
    EXPECT_EQ(writes[1].value, 0x3Fu);
    EXPECT_EQ(writes[2].port, kVelWriteData);
    EXPECT_EQ(writes[2].width, 2);
    EXPECT_EQ(writes[2].value, 0xCAFEu);
    EXPECT_EQ(writes[4].port, kVelCommand);
    EXPECT_EQ(writes[4].value, 0x02u);
}

TEST_F(RegisterSequenceTest, VelocityCommandTimesOutAfter4095Checks) {
    PortDouble ports(kVelocity, 0x100);
    ports.answer(kVelEecsr, 0x00);
    ports.answer(kVelConfig, 0x00);
    ports.answer(kVelCommand, 0x0F);  // the engine never finishes
    ports.attach();
    EXPECT_EQ(SROMbIssueEmbeded(kVelocity, 0x08), 0);
    EXPECT_EQ(sim::delayUnits(), 4095u * 10);
    size_t checks = 0;
    for (const Access &access : ports.accesses()) {
        checks += !access.write && access.port == kVelCommand ? 1 : 0;
    }
    EXPECT_EQ(checks, 1u + 4095);  // the read of the set, then the checks
    // Enable and access bits are released even so.
    std::vector<Access> writes = ports.writes();
    ASSERT_EQ(writes.size(), 5u);
    EXPECT_EQ(writes[3].port, kVelEecsr);
    EXPECT_EQ(writes[3].value, 0x00u);
    EXPECT_EQ(writes[4].port, kVelConfig);
}

TEST_F(RegisterSequenceTest, VelocityBitsOffOnlyWhenNoMaskBitIsSet) {
    PortDouble ports(kVelocity, 0x100);
    ports.attach();
    for (uint32_t command : {0x00u, 0x01u, 0x02u, 0x03u, 0x04u}) {
        ports.answer(kVelCommand, command);
        EXPECT_EQ(MACbIsRegBitsOff(kVelocity, 0x97, 0x03), (command & 0x03) == 0 ? 1 : 0)
            << command;
    }
    ports.answer(kVelEecsr, 0x5A);
    EXPECT_EQ(MACbyReadEECSRNevika(kVelocity), 0x5A);
}

// ---- JMicron SMBus ----------------------------------------------------------

constexpr uint16_t kSmb = 0x2040;
constexpr uint16_t kSmbInterface = kSmb + 4;

TEST_F(RegisterSequenceTest, JmicronByteReadTransaction) {
    PortDouble ports(kSmb, 8);
    ports.answer(kSmb, 0x00000000);
    ports.answer(kSmbInterface, 0x5A000000);
    ports.attach();

    EXPECT_EQ(smb_read8(kSmb, 0x50), 0x5A);
    expectSequence(ports.accesses(),
                   {R(kSmb, 6), W(kSmb, 0x00600000, 6), R(kSmb, 6), W(kSmbInterface, 0x5030, 6),
                    R(kSmbInterface, 6), R(kSmb, 6), R(kSmbInterface, 6)});
    for (const Access &access : ports.accesses()) {
        EXPECT_EQ(access.width, 4);
    }
}

TEST_F(RegisterSequenceTest, JmicronTransactionEndingInAnErrorIsAFailedByte) {
    PortDouble ports(kSmb, 8);
    ports.answer(kSmb, 0x00200000);  // the EEPROM did not acknowledge
    ports.answer(kSmbInterface, 0x5A000000);
    ports.attach();

    testing::internal::CaptureStdout();
    EXPECT_EQ(smb_read8(kSmb, 0x50), 0xFF);
    // The same transaction, not repeated.
    expectSequence(ports.accesses(),
                   {R(kSmb, 6), W(kSmb, 0x00600000, 6), R(kSmb, 6), W(kSmbInterface, 0x5030, 6),
                    R(kSmbInterface, 6), R(kSmb, 6), R(kSmbInterface, 6)});
    EXPECT_EQ(smb_write8(kSmb, 0x50, 0x11), 0xFF);
    EXPECT_EQ(ports.accesses().size(), 7u + 6);
    EXPECT_EQ(sim::delayUnits(), 42u + 36 + 4200);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), IsEmpty());
    // Asking for a repeat would loop for as long as the EEPROM does not answer.
    EXPECT_EQ(is_smb_error(kSmb), 0);
}

TEST_F(RegisterSequenceTest, JmicronByteWriteWaitsTheWriteCycle) {
    PortDouble ports(kSmb, 8);
    ports.answer(kSmb, 0x00000000);
    ports.answer(kSmbInterface, 0x00000000);
    ports.attach();

    EXPECT_EQ(smb_write8(kSmb, 0x51, 0xA7), 0);
    expectSequence(ports.accesses(),
                   {R(kSmb, 6), W(kSmb, 0x00600000, 6), R(kSmb, 6), W(kSmbInterface, 0xA75110, 6),
                    R(kSmbInterface, 6), R(kSmb, 6)});
    EXPECT_EQ(sim::delayUnits(), 36u + 4200);
}

TEST_F(RegisterSequenceTest, JmicronBusyTimeoutAfter65534Polls) {
    PortDouble ports(kSmb, 8);
    ports.answer(kSmb, 0x00000004);  // held busy
    ports.answer(kSmbInterface, 0x00000000);
    ports.keepReads(false);
    ports.attach();

    testing::internal::CaptureStdout();
    EXPECT_EQ(smb_read8(kSmb, 0x40), 0xFF);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "return from  smb_busy \n");
    EXPECT_EQ(sim::delayUnits(), 12u + 65534 * 6);

    testing::internal::CaptureStdout();
    EXPECT_EQ(smb_write8(kSmb, 0x40, 1), 0xFF);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), IsEmpty());
    // Only the error-status clearing wrote anything.
    for (const Access &access : ports.writes()) {
        EXPECT_EQ(access.port, kSmb);
    }
    EXPECT_EQ(is_smb_busy(kSmb), 1);
}

TEST_F(RegisterSequenceTest, JmicronFinishTimeout) {
    PortDouble ports(kSmb, 8);
    ports.answer(kSmb, 0x00000000);
    ports.answer(kSmbInterface, 0x00000010);  // the transaction never ends
    ports.keepReads(false);
    ports.attach();

    testing::internal::CaptureStdout();
    EXPECT_EQ(read_eeprom_jmicron(kSmb, 0x41), 0xFF);
    EXPECT_EQ(smb_write8(kSmb, 0x41, 2), 0xFF);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "return from  smb_finish \n");
    EXPECT_EQ(is_smb_finish(kSmb), 1);
    EXPECT_EQ(is_smb_error(kSmb), 0);
}

}  // namespace
