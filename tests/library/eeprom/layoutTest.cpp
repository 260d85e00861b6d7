// Checksums, the hex dump and the port wrappers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::EndsWith;
using ::testing::StartsWith;

namespace {

using eepromtest::PortBusTest;
using eepromtest::PortDouble;

TEST(Checksums, SumsWrapAtTheirWidth) {
    const unsigned char bytes[] = {0x80, 0x90};
    EXPECT_EQ(calculateByteCheckSum(bytes, 2), 0x10);
    EXPECT_EQ(calculateByteCheckSum(bytes, 1), 0x80);
    EXPECT_EQ(calculateByteCheckSum(bytes, 0), 0);
    const unsigned short words[] = {0xFFFF, 0x0003, 0x1000};
    EXPECT_EQ(calculateWordCheckSum(words, 0), 0);
    EXPECT_EQ(calculateWordCheckSum(words, 2), 0x0002);
    EXPECT_EQ(calculateWordCheckSum(words, 3), 0x1002);
}

TEST(Dump, SixteenBytesALineBetweenRules) {
    unsigned char image[EEPROM_IMAGE_SIZE];
    for (int at = 0; at < EEPROM_IMAGE_SIZE; ++at) {
        image[at] = static_cast<unsigned char>(at * 2 + 1);
    }
    testing::internal::CaptureStdout();
    dumpEEPROM(image);
    std::string printed = testing::internal::GetCapturedStdout();
    std::string rule(56, '=');
    EXPECT_THAT(printed, StartsWith(rule + "\n0000    01 03 05 07 09 0B 0D 0F  "
                                           "11 13 15 17 19 1B 1D 1F  \n"));
    EXPECT_THAT(printed,
                EndsWith("\n0070    E1 E3 E5 E7 E9 EB ED EF  F1 F3 F5 F7 F9 FB FD FF  \n" + rule +
                         "\n\n"));
    // Two rules, eight lines of 58 characters and the closing empty line.
    EXPECT_EQ(printed.size(), 2 * 57 + 8 * 59 + 1u);
}

// The byte and 16-bit reads are in every register sequence of the suite.
TEST_F(PortBusTest, WrappersReachThePortAtTheirWidth) {
    using eepromtest::W;
    PortDouble ports(0xE000, 0x100, {{0xE030, 0xCAFEF00D}});
    uint32_t dword = 0;
    VNSvInPortD(0xE030, &dword);
    EXPECT_EQ(dword, 0xCAFEF00Du);
    EXPECT_EQ(io_read32(0x1E030), 0xCAFEF00Du);  // the port is taken modulo 65536
    VNSvOutPortW(0xE022, 0x3456);
    VNSvOutPortD(0xE034, 0x789ABCDE);
    io_write32(0x1E03C, 0x01020304);
    eepromtest::expectSequence(ports.writes(), {W(0xE022, 0x3456, 0, 2),
                                                W(0xE034, 0x789ABCDE, 0, 4),
                                                W(0xE03C, 0x01020304, 0, 4)});
}

}  // namespace
