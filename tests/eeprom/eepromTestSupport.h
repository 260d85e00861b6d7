// Shared by the EEPROM suite: a simulated device whose PCI list the test
// writes, asset records, and a port double that answers fixed values and
// keeps every access with the delay units counted before it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ixo/eeprom.h"
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
    Record() { std::memset(bytes, 0, sizeof bytes); }
    explicit Record(unsigned char mask) : Record() { bytes[0] = mask; }
    unsigned char *data() { return bytes; }
    unsigned char *slot(int index) { return bytes + EEPROM_ASSET_SLOT(index); }
    std::vector<uint8_t> slotBytes(int index, size_t count) {
        return std::vector<uint8_t>(slot(index), slot(index) + count);
    }
    bool slotIsZero(int index) {
        for (int at = 0; at < EEPROM_ASSET_SLOT_SIZE; ++at) {
            if (slot(index)[at] != 0) {
                return false;
            }
        }
        return true;
    }
    EepromAssetRecord bytes;
};

// Runs a transfer (readEepromAssetValues or writeEepromAssetValues) with
// what it prints captured. On the device a port access below I/O privilege
// level 3 faults, so a transfer must make none.
inline int capturedTransfer(int (*operation)(unsigned char *), Record &record,
                            std::string *printed) {
    unsigned long unprivileged = sim::unprivilegedAccesses();
    testing::internal::CaptureStdout();
    int result = operation(record.data());
    *printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(sim::unprivilegedAccesses(), unprivileged)
        << "the transfer touched a port below I/O privilege level 3";
    return result;
}

struct Access {
    bool write;
    uint16_t port;
    int width;
    uint32_t value;
    unsigned long delaysBefore;  // delay units since the previous access
};

// Answers reads from a table of fixed register values (others float high)
// and keeps every access.
class PortDouble {
public:
    PortDouble(uint16_t first, uint16_t count) : first_(first), count_(count) {}
    void attach() {
        sim::attachPortModel({first_, count_, this, &PortDouble::read, &PortDouble::write});
    }
    void answer(uint16_t port, uint32_t value) { values_[port] = value; }
    // Long polls would keep millions of reads; writes are always kept.
    void keepReads(bool keep) { keepReads_ = keep; }
    const std::vector<Access> &accesses() const { return accesses_; }
    std::vector<Access> writes() const {
        std::vector<Access> found;
        for (const Access &access : accesses_) {
            if (access.write) {
                found.push_back(access);
            }
        }
        return found;
    }

private:
    unsigned long sinceLast() {
        unsigned long now = sim::delayUnits();
        unsigned long since = now - lastDelays_;
        lastDelays_ = now;
        return since;
    }
    static uint32_t read(void *context, uint16_t port, int width) {
        auto *self = static_cast<PortDouble *>(context);
        auto found = self->values_.find(port);
        uint32_t value = found != self->values_.end() ? found->second : 0xFFFFFFFFu;
        unsigned long since = self->sinceLast();
        if (self->keepReads_) {
            self->accesses_.push_back({false, port, width, value, since});
        }
        return value;
    }
    static void write(void *context, uint16_t port, int width, uint32_t value) {
        auto *self = static_cast<PortDouble *>(context);
        self->accesses_.push_back({true, port, width, value, self->sinceLast()});
    }

    uint16_t first_;
    uint16_t count_;
    std::map<uint16_t, uint32_t> values_;
    std::vector<Access> accesses_;
    unsigned long lastDelays_ = 0;
    bool keepReads_ = true;
};

// A simulated device with the test's PCI list; debug back at 0 afterwards.
class EepromTest : public support::SimDeviceTest {
protected:
    void TearDown() override {
        debug = 0;
        support::SimDeviceTest::TearDown();
    }
    void writePciList(const std::string &content) {
        support::writeFile(hostPath("/proc/bus/pci/devices"), content);
    }
};

// Sums over an image as the layouts define them.
inline unsigned int byteSum(const uint8_t *image, int first, int last) {
    unsigned int sum = 0;
    for (int at = first; at <= last; ++at) {
        sum += image[at];
    }
    return sum & 0xFF;
}

inline unsigned int wordSum(const uint8_t *image, int first, int last) {
    unsigned int sum = 0;
    for (int word = first; word <= last; ++word) {
        sum += image[2 * word] | (image[2 * word + 1] << 8);
    }
    return sum & 0xFFFF;
}

}  // namespace eepromtest
