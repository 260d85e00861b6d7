// Shared by the EEPROM suite: a simulated device whose PCI list or network
// controller the test sets, and asset records.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace eepromtest {

// One /proc/bus/pci/devices line as the kernel writes it: slot, vendor and
// device, interrupt, seven base addresses (more fields follow, tab-separated).
inline std::string pciLine(unsigned int vendorDevice, unsigned int base0,
                           const std::string &driver = "") {
    char line[200];
    std::snprintf(line, sizeof line,
                  "0048\t%08x\t0b\t%08x\tfebff000\t00000000\t00000000\t00000000\t00000000"
                  "\t00000000\t00000080\t00000100\t00000000\t00000000\t00000000\t00000000"
                  "\t00000000\t00000000%s%s\n",
                  vendorDevice, base0, driver.empty() ? "" : "\t", driver.c_str());
    return line;
}

// The bridges and the graphics that come before the network controller.
inline std::string otherDevices() {
    return pciLine(0x11060601, 0) + pciLine(0x11063122, 0xe0000008, "viafb");
}

struct Record {
    explicit Record(unsigned char mask = 0) : bytes{mask} {}
    unsigned char *data() { return bytes; }
    unsigned char *slot(int index) { return bytes + EEPROM_ASSET_SLOT(index); }
    bool slotsAreZero(std::initializer_list<int> indexes) {
        const int size = EEPROM_ASSET_SLOT_SIZE;
        return std::all_of(indexes.begin(), indexes.end(), [this](int index) {
            return std::count(slot(index), slot(index) + size, 0) == size;
        });
    }
    EepromAssetRecord bytes;
};

inline std::vector<uint8_t> bytesOf(const uint8_t *image, size_t first, size_t count) {
    return std::vector<uint8_t>(image + first, image + first + count);
}

// A simulated device with the test's PCI list or controller; debug back at 0
// afterwards.
class EepromTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        debug = 0;
        support::SimDeviceTest::TearDown();
    }
    void writePciList(const std::string &content) {
        support::writeFile(hostPath("/proc/bus/pci/devices"), content);
    }
    // Puts the family's controller on the bus; factory holds its EEPROM and
    // ioBase the base the scan finds.
    void attachNic(const std::string &family) {
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, family, &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
        factory = sim::nicEeprom(root);
        testing::internal::CaptureStdout();
        pcidev_row *row = scan_proc_bus_pci();
        testing::internal::GetCapturedStdout();
        ASSERT_NE(row, nullptr);
        ioBase = row->io_addr;
    }
    // Runs an operation with what it prints captured in printed. On the
    // device a port access below I/O privilege level 3 faults: it makes none.
    template <typename Operation>
    int privileged(Operation operation) {
        unsigned long unprivileged = sim::unprivilegedAccesses();
        testing::internal::CaptureStdout();
        int result = operation();
        printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(sim::unprivilegedAccesses(), unprivileged) << "a port below privilege level 3";
        return result;
    }
    int transfer(int (*operation)(unsigned char *), Record &record) {
        return privileged([&] { return operation(record.data()); });
    }
    // ixoReadEepromImage or ixoWriteEepromImage.
    int wholeImage(bool write, std::vector<uint8_t> &image, int size = EEPROM_IMAGE_SIZE) {
        return privileged([&] {
            return write ? ixoWriteEepromImage(image.data(), size)
                         : ixoReadEepromImage(image.data(), size);
        });
    }

    std::vector<uint8_t> factory;
    unsigned short ioBase = 0;
    std::string printed;
};

// The little-endian word at an image's word index.
inline unsigned int wordAt(const uint8_t *image, int word) {
    return image[2 * word] | image[2 * word + 1] << 8;
}

}  // namespace eepromtest
