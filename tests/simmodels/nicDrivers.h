// Test drivers for the controller models: the register sequences of the
// controllers' documentation and of the 93C46 datasheet, driven through the
// simulated port bus exactly as software on the device would.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ixo/seams.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace nicdrivers {

inline const IxoPortIo &bus() { return *sim::portBus(); }

inline void delayUnits(unsigned count) {
    for (unsigned unit = 0; unit < count; ++unit) {
        bus().in8(0x61);
    }
}

inline uint16_t wordOf(const std::vector<uint8_t> &image, size_t index) {
    return static_cast<uint16_t>(image[2 * index] | image[2 * index + 1] << 8);
}

// A simulated device with the family's controller attached.
class NicModelTest : public support::SimDeviceTest {
protected:
    void attach(const std::string &family) {
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, family, &error)) << error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    }
    std::vector<uint8_t> fileImage() const {
        std::string bytes = support::readFile(hostPath(sim::kNicEepromFile));
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
    bool operationSeen(const std::string &line) const {
        for (const std::string &seen : sim::nicOperations()) {
            if (seen == line) {
                return true;
            }
        }
        return false;
    }
};

// ---- VIA Rhine: the 93C46 bit-banged through EECSR -----------------------------------

class RhineDriver {
public:
    static constexpr uint16_t kBase = 0xe400;  // the Rhine's I/O BAR in the simulated PCI list
    uint16_t eecsrPort() const { return kBase + 0x74; }
    uint16_t configPort() const { return kBase + 0x78; }

    // An EECSR access followed by the 10 delay units the controller needs.
    uint8_t readEecsr() {
        uint8_t value = bus().in8(eecsrPort());
        delayUnits(10);
        return value;
    }
    void writeEecsr(uint8_t value) {
        bus().out8(eecsrPort(), value);
        delayUnits(10);
    }
    bool dataOut() { return (readEecsr() & 0x01) != 0; }

    // Grant the lines (configuration 0x80, EECSR 0x10), select the chip and
    // clock in the start bit.
    void open() {
        bus().out8(configPort(), bus().in8(configPort()) | 0x80);
        bus().out8(eecsrPort(), bus().in8(eecsrPort()) | 0x10);
        writeEecsr(0x10);
        writeEecsr(0x18);
        writeEecsr(0x1a);
        writeEecsr(0x1e);
    }
    void close() {
        bus().out8(eecsrPort(), bus().in8(eecsrPort()) & 0xef);
        bus().out8(configPort(), bus().in8(configPort()) & 0x7f);
    }
    void sendBit(bool one) {
        writeEecsr(one ? 0x1a : 0x18);
        writeEecsr(one ? 0x1e : 0x1c);
    }
    void sendBits(unsigned value, int count) {
        for (int bit = count - 1; bit >= 0; --bit) {
            sendBit((value >> bit & 1) != 0);
        }
    }
    // Data out after each rising clock edge.
    uint16_t clockInWord() {
        uint16_t word = 0;
        for (int bit = 0; bit < 16; ++bit) {
            writeEecsr(0x18);
            writeEecsr(0x1c);
            word = static_cast<uint16_t>(word << 1 | (readEecsr() & 0x01));
        }
        return word;
    }

    uint16_t readWord(unsigned address) {
        open();
        sendBits(0x80 | address, 8);
        uint16_t word = clockInWord();
        writeEecsr(0x10);
        close();
        return word;
    }
    // 0x30 write enable, 0x00 write disable, 0x20 erase all.
    void issue(unsigned command) {
        open();
        for (int bit = 7; bit >= 0; --bit) {
            sendBit((command >> bit & 1) != 0);
            writeEecsr(0x18);
        }
        writeEecsr(0x10);
        writeEecsr(0x14);
        close();
    }
    // The word and then the ready poll after deselecting and selecting again;
    // polls the number of EECSR reads it took (0 when ready never came).
    bool writeWord(unsigned address, uint16_t word, unsigned *polls = nullptr, unsigned limit = 4095) {
        if ((readEecsr() & 0x70) != 0) {
            return false;
        }
        open();
        sendBits(0x40 | address, 8);
        sendBits(word, 16);
        writeEecsr(0x10);
        writeEecsr(0x18);
        unsigned attempts = 0;
        bool ready = false;
        while (!ready && attempts < limit) {
            ++attempts;
            ready = dataOut();
        }
        writeEecsr(0x10);
        close();
        if (polls != nullptr) {
            *polls = ready ? attempts : 0;
        }
        return ready;
    }
};

// ---- VIA Velocity: the embedded engine -------------------------------------------------

class VelocityDriver {
public:
    static constexpr uint16_t kBase = 0xe800;
    static constexpr uint16_t kConfig = 0x7a, kWriteData = 0x8c, kEecsr = 0x93, kReadData = 0x94,
                              kAddress = 0x96, kCommand = 0x97;

    uint8_t in8(uint16_t offset) { return bus().in8(kBase + offset); }
    void out8(uint16_t offset, uint8_t value) { bus().out8(kBase + offset, value); }
    void setBits(uint16_t offset, uint8_t bits) { out8(offset, in8(offset) | bits); }
    void clearBits(uint16_t offset, uint8_t bits) { out8(offset, in8(offset) & ~bits); }

    // One command in the controller's frame; false when refused or when the
    // command bit was still set after limit checks. polls: the checks made.
    bool command(uint8_t bit, unsigned address, uint16_t data, uint16_t *read = nullptr,
                 unsigned *polls = nullptr, unsigned limit = 4095) {
        if ((in8(kEecsr) & 0x30) != 0) {
            return false;
        }
        setBits(kConfig, 0x80);
        if (bit == 0x01 || bit == 0x02) {
            out8(kAddress, static_cast<uint8_t>(address));
        }
        if (bit == 0x02) {
            bus().out16(kBase + kWriteData, data);
        }
        setBits(kEecsr, 0x40);
        setBits(kCommand, bit);
        unsigned checks = 0;
        bool done = false;
        while (!done && checks < limit) {
            ++checks;
            done = (in8(kCommand) & bit) == 0;
            if (!done) {
                delayUnits(10);
            }
        }
        clearBits(kEecsr, 0x40);
        clearBits(kConfig, 0x80);
        if (polls != nullptr) {
            *polls = checks;
        }
        if (done && read != nullptr) {
            *read = bus().in16(kBase + kReadData);
        }
        return done;
    }
    bool readWord(unsigned address, uint16_t *word, unsigned *polls = nullptr) {
        return command(0x01, address, 0, word, polls);
    }
    bool writeWord(unsigned address, uint16_t word) { return command(0x02, address, word); }
    bool issue(uint8_t bit) { return command(bit, 0, 0); }
};

// ---- JMicron: the SMBus master -----------------------------------------------------------

class SmbusDriver {
public:
    static constexpr uint16_t kBase = 0x2040;
    uint32_t status() { return bus().in32(kBase); }
    uint32_t interface() { return bus().in32(kBase + 4); }

    void clearErrors() {
        delayUnits(6);
        uint32_t value = status() | 0x600000;
        delayUnits(6);
        bus().out32(kBase, value);
    }
    // Polls with 6 delay units before each check; false after limit checks.
    bool waitIdle(unsigned limit = 65534) {
        for (unsigned poll = 0; poll < limit; ++poll) {
            delayUnits(6);
            if ((status() & 0x0F) == 0) {
                return true;
            }
        }
        return false;
    }
    bool waitDone(unsigned limit = 65534) {
        for (unsigned poll = 0; poll < limit; ++poll) {
            delayUnits(6);
            if ((interface() & 0x10) == 0) {
                return true;
            }
        }
        return false;
    }
    // A byte transaction; false when the bus stayed busy or the command did
    // not finish within limit polls.
    bool read(unsigned address, uint8_t *byte, unsigned limit = 65534) {
        clearErrors();
        if (!waitIdle(limit)) {
            return false;
        }
        delayUnits(6);
        bus().out32(kBase + 4, address << 8 | 0x30);
        if (!waitDone(limit)) {
            return false;
        }
        delayUnits(6);
        *byte = static_cast<uint8_t>(interface() >> 24);
        return true;
    }
    bool write(unsigned address, uint8_t byte, unsigned limit = 65534) {
        clearErrors();
        if (!waitIdle(limit)) {
            return false;
        }
        delayUnits(6);
        bus().out32(kBase + 4, uint32_t{byte} << 16 | address << 8 | 0x10);
        if (!waitDone(limit)) {
            return false;
        }
        delayUnits(4200);
        return true;
    }
};

}  // namespace nicdrivers
