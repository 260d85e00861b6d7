// Finding the controller in the PCI list.
// Checksums, the hex dump and the port wrappers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ixo/eeprom.h"
#include "tests/library/eeprom/eepromTestSupport.h"

using ::testing::EndsWith;
using ::testing::StartsWith;

namespace {

using eepromtest::otherDevices;
using eepromtest::pciLine;

class DiscoveryTest : public eepromtest::EepromTest {
protected:
    pcidev_row *scan() {
        pcidev_row *row = nullptr;
        privileged([&] { return row = scan_proc_bus_pci(), 0; });
        return row;
    }
};

TEST_F(DiscoveryTest, ScanFindsTheControllerAndItsIoBase) {
    struct Case {
        const char *name;
        std::string list;
        int row;  // -1: none found
        unsigned short ioAddr;
        std::string printed;
        bool debug = false;
    };
    const std::string first = pciLine(0x11060601, 0), rhine = pciLine(0x11063065, 0xe001);
    const Case cases[] = {
        {"SMC named by the first of its two rows",
         otherDevices() + pciLine(0x11131211, 0x0000e401, "8139too"), 3, 0xe400,
         "Found a SMC1211TX EZCard 10/100 (RealTek RTL8139) adapter at 0xe400.\n"},
        {"low half of base 0 without its I/O bit", pciLine(0x11063065, 0x0001d001, "via-rhine"), 6,
         0xd000, "Found a VIA Technologies adapter at 0xd000.\n"},
        {"JMicron at the SMBus base whatever its bars",
         otherDevices() + pciLine(0x197b0260, 0xfe9fc000, "jme"), 8, 0x2040,
         "Found a Jmicronethernet adapter at 0x2040.\n"},
        // 0x8136 shares row 5's upper byte and the Rhine mask 0xff00 would
        // take 0x3043: the masks play no part.
        {"ids match exactly", pciLine(0x10ec8136, 0xe001) + pciLine(0x11063043, 0xe101), -1, 0, ""},
        {"exact match after a near one", pciLine(0x10ec8136, 0xe001) + pciLine(0x10ec8100, 0xe201),
         5, 0xe200, "Found a RealTek (unknown chip type) adapter at 0xe200.\n"},
        {"first matching line wins", pciLine(0x11063119, 0xd801) + pciLine(0x11063065, 0xe001), 7,
         0xd800, "Found a VIA Technologies adapter at 0xd800.\n"},
        {"line without a number ends the scan",
         pciLine(0x11060601, 0) + "no numbers here\n" + pciLine(0x11063065, 0xe001), -1, 0, ""},
        {"empty line ends the scan", "\n" + rhine, -1, 0, ""},
        {"debug echoes every line up to the match", first + rhine + pciLine(0x11063038, 0xe401),
         6, 0xe000,
         " Parsing line -- " + first + " \n Parsing line -- " + rhine +
             " \nFound a VIA Technologies adapter at 0xe000.\n",
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writePciList(c.list);
        debug = c.debug;
        pcidev_row *row = scan();
        EXPECT_EQ(printed, c.printed);
        if (c.row < 0) {
            EXPECT_EQ(row, nullptr);
        } else {
            ASSERT_EQ(row, &pcidev_tbl[c.row]);
            EXPECT_EQ(row->io_addr, c.ioAddr);
        }
    }
}

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
