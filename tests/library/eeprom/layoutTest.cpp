// Checksums, the hex dump and the port wrappers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ixo/eeprom.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::EndsWith;
using ::testing::StartsWith;

namespace {

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

using PortWrappers = eepromtest::EepromTest;

TEST_F(PortWrappers, ReachThePortAtTheirWidth) {
    attachNic("jmicron");  // the rest of its I/O block below the SMBus master is plain storage
    VNSvOutPortD(0x2000, 0x789ABCDE);
    VNSvOutPortW(0x2004, 0x3456);
    VNSvOutPortB(0x2006, 0x12);
    io_write32(0x12008, 0x01020304);  // the port is taken modulo 65536
    uint32_t dword = 0;
    unsigned short word = 0;
    unsigned char byte = 0;
    VNSvInPortD(0x2000, &dword);
    VNSvInPortW(0x2004, &word);
    VNSvInPortB(0x2006, &byte);
    EXPECT_EQ(dword, 0x789ABCDEu);
    EXPECT_EQ(word, 0x3456);
    EXPECT_EQ(byte, 0x12);
    VNSvInPortW(0x2002, &word);
    EXPECT_EQ(word, 0x789A);
    EXPECT_EQ(io_read32(0x2008), 0x01020304u);
    EXPECT_EQ(io_read32(0x12000), 0x789ABCDEu);
}

}  // namespace
