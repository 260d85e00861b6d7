// Test drivers for the controller models: the register sequences of the
// controllers' documentation and of the 93C46 datasheet, driven through the
// simulated port bus exactly as software on the device would.
#pragma once

#include <gmock/gmock.h>
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
    // The next agent run: a fresh bus and model on the same root.
    void reattach() {
        sim::resetPortBus();
        std::string error;
        ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    }
    std::vector<uint8_t> fileImage() const {
        std::string bytes = support::readFile(hostPath(sim::kNicEepromFile));
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
};

// The family's controller attached, and its driver.
template <typename Driver>
class ModelTest : public NicModelTest {
protected:
    void SetUp() override {
        NicModelTest::SetUp();
        attach(Driver::kFamily);
    }
    Driver driver;
};

// ---- VIA Rhine: the 93C46 bit-banged through EECSR -----------------------------------

class RhineDriver {
public:
    static constexpr const char *kFamily = "rhine";
    static constexpr uint16_t kBase = 0xe400;  // the Rhine's I/O BAR in the simulated PCI list
    static constexpr uint16_t kEecsr = kBase + 0x74, kConfig = kBase + 0x78;

    // Bits of EECSR writes that reach the register: clearing 0x10 drops direct programming.
    uint8_t lineMask = 0xFF;

    // An EECSR access followed by the 10 delay units the controller needs.
    uint8_t readEecsr() {
        uint8_t value = bus().in8(kEecsr);
        delayUnits(10);
        return value;
    }
    void writeEecsr(uint8_t value) {
        bus().out8(kEecsr, value & lineMask);
        delayUnits(10);
    }
    bool dataOut() { return (readEecsr() & 0x01) != 0; }

    // Grant the lines (configuration 0x80, EECSR 0x10), select the chip and
    // clock in the start bit.
    void open() {
        bus().out8(kConfig, bus().in8(kConfig) | 0x80);
        bus().out8(kEecsr, bus().in8(kEecsr) | 0x10);
        writeEecsr(0x10);
        writeEecsr(0x18);
        sendBit(true);
    }
    // Deselect the chip and give the lines back.
    void close() {
        writeEecsr(0x10);
        bus().out8(kEecsr, bus().in8(kEecsr) & 0xef);
        bus().out8(kConfig, bus().in8(kConfig) & 0x7f);
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
        close();
        return word;
    }
    // 0x30 write enable, 0x00 write disable, 0x20 erase all.
    void instruct(unsigned command) {
        open();
        for (int bit = 7; bit >= 0; --bit) {
            sendBit((command >> bit & 1) != 0);
            writeEecsr(0x18);
        }
        writeEecsr(0x10);
        writeEecsr(0x14);
        close();
    }
    // Selects the chip again after the falling CS and polls data out for
    // ready; the number of EECSR reads it took, 0 when ready never came.
    unsigned waitReady(unsigned limit = 4095) {
        writeEecsr(0x10);
        writeEecsr(0x18);
        for (unsigned attempts = 1; attempts <= limit; ++attempts) {
            if (dataOut()) {
                return attempts;
            }
        }
        return 0;
    }
    void sendWrite(unsigned address, uint16_t word) {
        open();
        sendBits(0x40 | address, 8);
        sendBits(word, 16);
    }
    // False when refused or when ready never came.
    bool writeWord(unsigned address, uint16_t word) {
        if ((readEecsr() & 0x70) != 0) {
            return false;
        }
        sendWrite(address, word);
        bool ready = waitReady() != 0;
        close();
        return ready;
    }
};

// ---- VIA Velocity: the embedded engine -------------------------------------------------

class VelocityDriver {
public:
    static constexpr const char *kFamily = "velocity";
    static constexpr uint16_t kBase = 0xe800;
    static constexpr uint16_t kConfig = 0x7a, kWriteData = 0x8c, kEecsr = 0x93, kReadData = 0x94,
                              kAddress = 0x96, kCommand = 0x97;

    uint8_t in8(uint16_t offset) { return bus().in8(kBase + offset); }
    void out8(uint16_t offset, uint8_t value) { bus().out8(kBase + offset, value); }
    void setBits(uint16_t offset, uint8_t bits) { out8(offset, in8(offset) | bits); }
    void clearBits(uint16_t offset, uint8_t bits) { out8(offset, in8(offset) & ~bits); }
    uint16_t readData() { return bus().in16(kBase + kReadData); }
    bool pending(uint8_t bit) { return (in8(kCommand) & bit) != 0; }

    // One command in the controller's frame; false when refused or when the
    // command bit was still set after 4095 checks. polls: the checks made.
    bool command(uint8_t bit, unsigned address, uint16_t data, uint16_t *read = nullptr,
                 unsigned *polls = nullptr) {
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
        while (!done && checks < 4095) {
            ++checks;
            done = !pending(bit);
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
            *read = readData();
        }
        return done;
    }
    bool readWord(unsigned address, uint16_t *word, unsigned *polls = nullptr) {
        return command(0x01, address, 0, word, polls);
    }
    bool writeWord(unsigned address, uint16_t word) { return command(0x02, address, word); }
    bool instruct(uint8_t bit) { return command(bit, 0, 0); }
};

// ---- JMicron: the SMBus master -----------------------------------------------------------

class SmbusDriver {
public:
    static constexpr const char *kFamily = "jmicron";
    static constexpr uint16_t kBase = 0x2040;
    uint32_t status() { return bus().in32(kBase); }
    uint32_t interface() { return bus().in32(kBase + 4); }
    uint32_t errors() { return status() & 0x600000; }

    void clearErrors() {
        delayUnits(6);
        uint32_t value = status() | 0x600000;
        delayUnits(6);
        bus().out32(kBase, value);
    }
    // Polls with 6 delay units before each check; false after limit checks.
    bool waitIdle(unsigned limit = 65534) { return waitFor([this] { return (status() & 0x0F) == 0; }, limit); }
    bool waitDone(unsigned limit = 65534) {
        return waitFor([this] { return (interface() & 0x10) == 0; }, limit);
    }
    // A byte transaction; false when the bus stayed busy or the command did
    // not finish within limit polls.
    bool read(unsigned address, uint8_t *byte, unsigned limit = 65534) {
        if (!transaction(address << 8 | 0x30, limit)) {
            return false;
        }
        delayUnits(6);
        *byte = static_cast<uint8_t>(interface() >> 24);
        return true;
    }
    bool write(unsigned address, uint8_t byte, unsigned limit = 65534) {
        if (!transaction(uint32_t{byte} << 16 | address << 8 | 0x10, limit)) {
            return false;
        }
        delayUnits(4200);
        return true;
    }

private:
    template <typename Ready>
    bool waitFor(Ready ready, unsigned limit) {
        for (unsigned poll = 0; poll < limit; ++poll) {
            delayUnits(6);
            if (ready()) {
                return true;
            }
        }
        return false;
    }
    bool transaction(uint32_t command, unsigned limit) {
        clearErrors();
        if (!waitIdle(limit)) {
            return false;
        }
        delayUnits(6);
        bus().out32(kBase + 4, command);
        return waitDone(limit);
    }
};

}  // namespace nicdrivers
