// Finding the controller in the PCI list, and the transfers' failures before
// any controller operation runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ixo/eeprom.h"
#include "sim/sim.h"
#include "tests/eeprom/eepromTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

using eepromtest::pciLine;
using eepromtest::Record;

class DiscoveryTest : public eepromtest::EepromTest {
protected:
    pcidev_row *scan(std::string *printed) {
        testing::internal::CaptureStdout();
        pcidev_row *row = scan_proc_bus_pci();
        *printed = testing::internal::GetCapturedStdout();
        return row;
    }
    bool imageIsFill() {
        for (unsigned char byte : eeprom_contents) {
            if (byte != 0xFF) {
                return false;
            }
        }
        return true;
    }
};

TEST(ControllerTable, RowsAndEndOfTable) {
    EXPECT_STREQ(pcidev_tbl[0].long_name, "RealTek RTL8167");
    EXPECT_EQ(pcidev_tbl[6].vendor_id, 0x1106);
    EXPECT_EQ(pcidev_tbl[6].device_id, 0x3065);
    EXPECT_EQ(pcidev_tbl[6].read_eeprom, &readViaEeprom);
    EXPECT_EQ(pcidev_tbl[7].write_eeprom, &writeViaEepromVelocity);
    EXPECT_EQ(pcidev_tbl[7].fill_asset, &fillViaEepromAsset);
    EXPECT_EQ(pcidev_tbl[8].read_eeprom, &readJmicronEeprom);
    EXPECT_EQ(pcidev_tbl[3].write_eeprom, &writeRtlEeprom);
    for (int row = 0; row < 9; ++row) {
        EXPECT_NE(pcidev_tbl[row].vendor_id, 0) << row;
        EXPECT_EQ(pcidev_tbl[row].io_size, 0x80) << row;
        EXPECT_EQ(pcidev_tbl[row].flags, 0) << row;
    }
    EXPECT_EQ(pcidev_tbl[9].vendor_id, 0);
    EXPECT_EQ(pcidev_tbl[9].long_name, nullptr);
    EXPECT_EQ(pcidev_tbl[9].read_eeprom, nullptr);
}

TEST_F(DiscoveryTest, SmcControllerIsNamedByTheFirstOfItsTwoRows) {
    writePciList(eepromtest::otherDevices() + pciLine(0x11131211, 0x0000e401, "8139too"));
    std::string printed;
    pcidev_row *row = scan(&printed);
    ASSERT_EQ(row, &pcidev_tbl[3]);
    EXPECT_EQ(printed, "Found a SMC1211TX EZCard 10/100 (RealTek RTL8139) adapter at 0xe400.\n");
    EXPECT_EQ(pcidev_tbl[3].io_addr, 0xe400);
    EXPECT_EQ(pcidev_tbl[4].io_addr, 0);
}

TEST_F(DiscoveryTest, IoBaseIsTheLowHalfOfBaseZeroWithoutItsIoBit) {
    writePciList(pciLine(0x11063065, 0x0001d001, "via-rhine"));
    std::string printed;
    pcidev_row *row = scan(&printed);
    ASSERT_EQ(row, &pcidev_tbl[6]);
    EXPECT_EQ(row->io_addr, 0xd000);
    EXPECT_EQ(printed, "Found a VIA Technologies adapter at 0xd000.\n");
}

TEST_F(DiscoveryTest, JmicronIsDrivenAtTheSmbusBaseWhateverItsBars) {
    writePciList(eepromtest::otherDevices() + pciLine(0x197b0260, 0xfe9fc000, "jme"));
    std::string printed;
    pcidev_row *row = scan(&printed);
    ASSERT_EQ(row, &pcidev_tbl[8]);
    EXPECT_EQ(row->io_addr, 0x2040);
    EXPECT_EQ(printed, "Found a Jmicronethernet adapter at 0x2040.\n");
}

TEST_F(DiscoveryTest, DeviceIdsMatchExactlyDespiteTheMask) {
    // 0x8136 shares the upper byte with row 5's 0x8100, and the Rhine mask
    // 0xff00 would take 0x3043: neither is a supported controller.
    writePciList(pciLine(0x10ec8136, 0xe001) + pciLine(0x11063043, 0xe101));
    std::string printed;
    EXPECT_EQ(scan(&printed), nullptr);
    EXPECT_THAT(printed, IsEmpty());

    writePciList(pciLine(0x10ec8136, 0xe001) + pciLine(0x10ec8100, 0xe201));
    ASSERT_EQ(scan(&printed), &pcidev_tbl[5]);
    EXPECT_EQ(printed, "Found a RealTek (unknown chip type) adapter at 0xe200.\n");
}

TEST_F(DiscoveryTest, FirstMatchingLineWins) {
    writePciList(pciLine(0x11063119, 0xd801) + pciLine(0x11063065, 0xe001));
    std::string printed;
    EXPECT_EQ(scan(&printed), &pcidev_tbl[7]);
    EXPECT_EQ(pcidev_tbl[7].io_addr, 0xd800);
}

TEST_F(DiscoveryTest, DebugEchoesEveryLineUpToTheMatch) {
    std::string first = pciLine(0x11060601, 0);
    std::string match = pciLine(0x11063065, 0xe001, "via-rhine");
    std::string after = pciLine(0x11063038, 0xe401, "uhci_hcd");
    writePciList(first + match + after);
    debug = 1;
    std::string printed;
    ASSERT_EQ(scan(&printed), &pcidev_tbl[6]);
    EXPECT_EQ(printed, " Parsing line -- " + first + " \n" + " Parsing line -- " + match + " \n" +
                           "Found a VIA Technologies adapter at 0xe000.\n");

    debug = 0;
    ASSERT_EQ(scan(&printed), &pcidev_tbl[6]);
    EXPECT_EQ(printed, "Found a VIA Technologies adapter at 0xe000.\n");
}

TEST_F(DiscoveryTest, LineWithoutANumberEndsTheScan) {
    writePciList(pciLine(0x11060601, 0) + "no numbers here\n" + pciLine(0x11063065, 0xe001));
    std::string printed;
    EXPECT_EQ(scan(&printed), nullptr);
    EXPECT_THAT(printed, IsEmpty());

    // An empty line converts nothing either.
    writePciList("\n" + pciLine(0x11063065, 0xe001));
    EXPECT_EQ(scan(&printed), nullptr);
}

TEST_F(DiscoveryTest, ReadWithNoControllerFillsNothing) {
    writePciList(eepromtest::otherDevices());
    std::memset(eeprom_contents, 0, sizeof eeprom_contents);
    Record record(0x3F);
    record.slot(0)[0] = 'k';
    testing::internal::CaptureStdout();
    EXPECT_EQ(readEepromAssetValues(record.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No ethernet device not found \n");
    EXPECT_EQ(record.slot(0)[0], 'k');
    EXPECT_TRUE(record.slotIsZero(1));
    EXPECT_TRUE(imageIsFill());
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3));
}

TEST_F(DiscoveryTest, MissingPciListIsReportedForBothTransfers) {
    std::string list = hostPath("/proc/bus/pci/devices");
    ::remove(list.c_str());
    Record record(0x02);
    testing::internal::CaptureStdout();
    EXPECT_EQ(readEepromAssetValues(record.data()), -1);
    EXPECT_EQ(writeEepromAssetValues(record.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Failed to open /proc/bus/pci/devices.\nNo ethernet device not found \n"
              "Failed to open /proc/bus/pci/devices.\nNo ethernet device not found \n");
    EXPECT_EQ(sim::portAccesses(), 0u);
}

TEST_F(DiscoveryTest, RefusedPrivilegeStopsBeforeTheScan) {
    writePciList(pciLine(0x11063065, 0xe001));
    std::memset(eeprom_contents, 0, sizeof eeprom_contents);
    sim::failIopl(true);
    Record record(0x3F);
    testing::internal::CaptureStdout();
    EXPECT_EQ(readEepromAssetValues(record.data()), -1);
    EXPECT_EQ(writeEepromAssetValues(record.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Not able to rise I/O privilege level of current process to : 3\n"
              "Not able to rise I/O privilege level of current process to : 3\n");
    EXPECT_TRUE(imageIsFill());
    EXPECT_THAT(sim::ioplCalls(), ElementsAre(3, 3));
    EXPECT_EQ(sim::portAccesses(), 0u);
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_TRUE(record.slotIsZero(slot)) << slot;
    }
}

TEST_F(DiscoveryTest, NullRecordIsRefused) {
    writePciList(pciLine(0x11063065, 0xe001));
    testing::internal::CaptureStdout();
    EXPECT_EQ(readEepromAssetValues(nullptr), -1);
    EXPECT_EQ(writeEepromAssetValues(nullptr), -1);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), IsEmpty());
    EXPECT_EQ(sim::portAccesses(), 0u);
}

}  // namespace
