// Checksums, the hex dump, the port wrappers and the delay unit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/eeprom/eepromTestSupport.h"

namespace {

using eepromtest::PortDouble;

class PortsTest : public ::testing::Test {
protected:
    void SetUp() override { sim::resetPortBus(); }
    void TearDown() override { sim::resetPortBus(); }
};

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
    std::string expected = rule + "\n";
    for (int line = 0; line < 8; ++line) {
        char text[80];
        std::snprintf(text, sizeof text, "%04X    ", line * 16);
        expected += text;
        for (int column = 0; column < 16; ++column) {
            std::snprintf(text, sizeof text, "%02X ", image[line * 16 + column]);
            expected += text;
            if (column % 8 == 7) {
                expected += " ";
            }
        }
        expected += "\n";
    }
    expected += rule + "\n\n";
    EXPECT_EQ(printed, expected);
    EXPECT_NE(printed.find("0070    E1 E3 E5 E7 E9 EB ED EF  F1 F3 F5 F7 F9 FB FD FF  \n"),
              std::string::npos);
}

TEST_F(PortsTest, WrappersReachThePortAtTheirWidth) {
    PortDouble ports(0xE000, 0x100);
    ports.answer(0xE010, 0xA5);
    ports.answer(0xE020, 0xBEEF);
    ports.answer(0xE030, 0xCAFEF00D);
    ports.attach();
    unsigned char byte = 0;
    unsigned short word = 0;
    uint32_t dword = 0;
    VNSvInPortB(0xE010, &byte);
    VNSvInPortW(0xE020, &word);
    VNSvInPortD(0xE030, &dword);
    EXPECT_EQ(byte, 0xA5);
    EXPECT_EQ(word, 0xBEEF);
    EXPECT_EQ(dword, 0xCAFEF00Du);
    VNSvOutPortB(0xE011, 0x12);
    VNSvOutPortW(0xE022, 0x3456);
    VNSvOutPortD(0xE034, 0x789ABCDE);
    io_write32(0x1E03C, 0x01020304);  // the port is taken modulo 65536
    EXPECT_EQ(io_read32(0x1E030), 0xCAFEF00Du);
    std::vector<eepromtest::Access> writes = ports.writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].port, 0xE011);
    EXPECT_EQ(writes[0].width, 1);
    EXPECT_EQ(writes[1].width, 2);
    EXPECT_EQ(writes[1].value, 0x3456u);
    EXPECT_EQ(writes[2].width, 4);
    EXPECT_EQ(writes[3].port, 0xE03C);
    EXPECT_EQ(writes[3].value, 0x01020304u);
    EXPECT_EQ(sim::delayUnits(), 0u);
}

TEST_F(PortsTest, DelaysCountInReadsOfPort0x61) {
    PCAvDelayByIO(10);
    EXPECT_EQ(sim::delayUnits(), 10u);
    PCAvDelayByIO(0);
    EXPECT_EQ(sim::delayUnits(), 10u);
    io_delay15us(4200);
    EXPECT_EQ(sim::delayUnits(), 4210u);
    EXPECT_EQ(sim::portAccesses(), 4210u);
}

}  // namespace
