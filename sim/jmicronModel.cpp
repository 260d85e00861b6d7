// The JMicron controller's SMBus master, with the 256-byte serial EEPROM on
// its bus, one byte per transaction. It sits at offset 0x40 of the
// controller's I/O block; the rest of the block is plain storage.
//
// Control and status (+0x40, 32 bits): 0x0F the bus state machine, non-zero
// while a transaction runs; 0x10 auto-load done and 0x20 EEPROM present,
// always set; 0x200000 the EEPROM did not acknowledge, 0x400000 a command
// came while a transaction ran (it was dropped). The two error bits stay
// until written back as ones.
// Interface (+0x44, 32 bits): 0x10 command, set to start a transaction and
// cleared by the master when it is done; 0x20 read (set) or write (clear);
// bits 8-15 the EEPROM address, 16-23 the byte to write, 24-31 the byte read
// (0xFF after a transaction the EEPROM did not acknowledge).
// A transaction takes the configured bus time from the write that starts it.
// After a byte write the EEPROM programs for its write cycle and does not
// acknowledge anything meanwhile.
#include <array>

#include "sim/nicModelState.h"

namespace sim::nic {

namespace {

constexpr uint16_t kStatus = 0x40;
constexpr uint16_t kInterface = 0x44;
constexpr uint16_t kPorts = 0x80;
constexpr uint32_t kBusyBits = 0x0F;
constexpr uint32_t kAlwaysSet = 0x30;
constexpr uint32_t kNoAcknowledge = 0x200000;
constexpr uint32_t kCollision = 0x400000;
constexpr uint32_t kErrorBits = kNoAcknowledge | kCollision;
constexpr uint32_t kCommand = 0x10;
constexpr uint32_t kRead = 0x20;

struct Jmicron {
    Jmicron(uint16_t ioBase, EepromImage &cells) : base(ioBase), eeprom(cells) {}

    // Ends a transaction whose time is up, or one a fault held when the
    // fault has gone (then it did nothing).
    void settle() {
        if (!running) {
            return;
        }
        if (held) {
            if (!hangs(activeFault())) {
                running = held = false;
                recordOperation(text + " dropped");
            }
            return;
        }
        if (busTime() < end) {
            return;
        }
        running = false;
        if (!acknowledged) {
            errors |= kNoAcknowledge;
            readData = 0xFF;
            if (!reading) {
                ++stats().ignoredWrites;
            }
            recordOperation(text + " nack");
            return;
        }
        if (reading) {
            readData = eeprom.byte(address);
            ++stats().eepromReads;
        } else {
            eeprom.setByte(address, data);
            ++stats().eepromWrites;
            eepromReadyAt = end + activeTiming().smbusEepromWriteCycle;
        }
        recordOperation(text);
    }

    uint32_t status() {
        settle();
        uint32_t busy = 0;
        if (activeFault() == Fault::Busy) {
            busy = kBusyBits;
        } else if (running && !held) {
            // Start, address, word address, (restart, address,) data, stop.
            unsigned long length = end - start;
            unsigned long phase = length == 0 ? 0 : (busTime() - start) * 6 / length;
            busy = static_cast<uint32_t>(1 + phase);
        }
        return busy | kAlwaysSet | errors;
    }

    uint32_t interface() {
        settle();
        return static_cast<uint32_t>(readData) << 24 | (fields & 0x00FFFFEFu) | (running ? kCommand : 0);
    }

    void writeStatus(uint32_t value, uint32_t lanes) { errors &= ~(value & lanes & kErrorBits); }

    void writeInterface(uint32_t value, uint32_t lanes) {
        settle();
        uint32_t merged = (fields & ~lanes) | (value & lanes);
        if ((lanes & kCommand) == 0 || (merged & kCommand) == 0) {
            if (!running) {
                fields = merged & ~kCommand;
            }
            return;
        }
        if (running) {
            errors |= kCollision;
            recordOperation("command dropped: a transaction is running");
            return;
        }
        fields = merged & ~kCommand;
        reading = (merged & kRead) != 0;
        address = static_cast<uint8_t>(merged >> 8);
        data = static_cast<uint8_t>(merged >> 16);
        text = reading ? "READ " + hexByte(address) : "WRITE " + hexByte(address) + "=" + hexByte(data);
        NicTiming timing = activeTiming();
        start = busTime();
        end = start + (reading ? timing.smbusReadTime : timing.smbusWriteTime);
        Fault fault = activeFault();
        held = hangs(fault);
        acknowledged = fault != Fault::Refuse && start >= eepromReadyAt;
        running = true;
    }

    uint32_t readRegister(uint16_t offset) {
        if (offset == kStatus) {
            return status();
        }
        if (offset == kInterface) {
            return interface();
        }
        return static_cast<uint32_t>(registers[offset] | registers[offset + 1] << 8 |
                                     registers[offset + 2] << 16 | uint32_t{registers[offset + 3]} << 24);
    }

    void writeRegister(uint16_t offset, uint32_t value, uint32_t lanes) {
        if (offset == kStatus) {
            writeStatus(value, lanes);
        } else if (offset == kInterface) {
            writeInterface(value, lanes);
        } else {
            for (int lane = 0; lane < 4; ++lane) {
                if ((lanes >> (8 * lane) & 0xFF) != 0) {
                    registers[offset + lane] = static_cast<uint8_t>(value >> (8 * lane));
                }
            }
        }
    }

    uint16_t base;
    std::array<uint8_t, kPorts> registers{};
    EepromImage &eeprom;
    uint32_t errors = 0;
    uint32_t fields = 0;
    uint8_t readData = 0;
    bool running = false;
    bool held = false;
    bool reading = false;
    bool acknowledged = false;
    uint8_t address = 0;
    uint8_t data = 0;
    unsigned long start = 0;
    unsigned long end = 0;
    unsigned long eepromReadyAt = 0;
    std::string text;
};

// The registers are 32 bits wide: an access of any width reaches the
// register (or registers) holding its bytes, each written as a whole so that
// a command starts with its address and data in place.
uint32_t readPort(void *context, uint16_t port, int width) {
    auto *jmicron = static_cast<Jmicron *>(context);
    ++stats().registerReads;
    uint16_t offset = static_cast<uint16_t>(port - jmicron->base);
    uint32_t value = 0;
    for (int lane = 0; lane < width; ++lane) {
        uint16_t byteOffset = static_cast<uint16_t>((offset + lane) % kPorts);
        uint16_t registerOffset = byteOffset & ~3u;
        uint32_t word = jmicron->readRegister(registerOffset);
        value |= (word >> (8 * (byteOffset & 3)) & 0xFF) << (8 * lane);
    }
    return value;
}

void writePort(void *context, uint16_t port, int width, uint32_t value) {
    auto *jmicron = static_cast<Jmicron *>(context);
    ++stats().registerWrites;
    uint16_t offset = static_cast<uint16_t>(port - jmicron->base);
    int lane = 0;
    while (lane < width) {
        uint16_t byteOffset = static_cast<uint16_t>((offset + lane) % kPorts);
        uint16_t registerOffset = byteOffset & ~3u;
        uint32_t merged = 0;
        uint32_t lanes = 0;
        for (; lane < width && static_cast<uint16_t>(((offset + lane) % kPorts) & ~3u) == registerOffset;
             ++lane) {
            unsigned shift = 8 * (((offset + lane) % kPorts) & 3);
            merged |= (value >> (8 * lane) & 0xFF) << shift;
            lanes |= 0xFFu << shift;
        }
        jmicron->writeRegister(registerOffset, merged, lanes);
    }
}

}  // namespace

ModelHandle makeJmicronModel(uint16_t ioBase, EepromImage &eeprom) {
    auto jmicron = std::make_shared<Jmicron>(ioBase, eeprom);
    return {jmicron, PortModel{ioBase, kPorts, jmicron.get(), readPort, writePort}};
}

}  // namespace sim::nic
