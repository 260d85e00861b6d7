// The VIA Velocity's embedded EEPROM engine, in front of a 93C46.
//
// Registers (offsets from the I/O base): 0x7a configuration (0x80 grants the
// EEPROM to the engine), 0x8c-0x8d write data, 0x93 EECSR (0x40 engine
// enable; 0x10 direct programming and 0x20 auto-load, either of which keeps
// the engine from running; 0x20 and 0x80 read-only), 0x94-0x95 read data,
// 0x96 word address, 0x97 command (0x01 read, 0x02 write, 0x04 write enable,
// 0x08 write disable).
//
// Setting a command bit latches the address and the write data. The engine
// runs while it is granted the EEPROM and enabled; each read of the command
// register while it runs counts as a poll, and after the configured number
// of polls the command is carried out and its bit clears (the read that
// sees it clear is the one that finishes it). Read data changes only then.
// Clearing the enable bit drops commands not yet done. The EEPROM's own
// write-enable latch decides whether a write changes the word: writes count
// only between a 0x04 and a 0x08 command.
#include <array>
#include <deque>

#include "sim/microwireEeprom.h"

namespace sim::nic {

namespace {

constexpr uint16_t kConfig = 0x7a;
constexpr uint16_t kWriteData = 0x8c;
constexpr uint16_t kEecsr = 0x93;
constexpr uint16_t kReadData = 0x94;
constexpr uint16_t kAddress = 0x96;
constexpr uint16_t kCommand = 0x97;
constexpr uint8_t kEepromAccess = 0x80;
constexpr uint8_t kEnable = 0x40;
constexpr uint8_t kRefusing = 0x30;
constexpr uint8_t kAutoLoad = 0x20;
constexpr uint8_t kReadOnlyStatus = 0x80 | kAutoLoad;
constexpr uint8_t kCommandBits = 0x0F;
constexpr uint16_t kPorts = 0x100;

struct Command {
    uint8_t bit;
    uint8_t address;
    uint16_t data;
};

struct Velocity {
    Velocity(uint16_t ioBase, EepromImage &cells) : base(ioBase), eeprom(cells) {
        for (uint16_t offset = 0; offset < 6; ++offset) {
            registers[offset] = cells.byte(offset);
        }
    }

    uint8_t eecsr() const {
        uint8_t value = registers[kEecsr];
        return activeFault() == Fault::Refuse ? static_cast<uint8_t>(value | kRefusing) : value;
    }

    bool engineRuns() const {
        return (registers[kConfig] & kEepromAccess) != 0 && (eecsr() & kEnable) != 0 &&
               (eecsr() & kRefusing) == 0 && !hangs(activeFault());
    }

    uint8_t pendingBits() const {
        uint8_t bits = 0;
        for (const Command &command : queue) {
            bits |= command.bit;
        }
        return bits;
    }

    void carryOut(const Command &command) {
        unsigned address = command.address & 0x3F;
        switch (command.bit) {
        case 0x01: {
            uint16_t word = eeprom.readWord(address);
            registers[kReadData] = static_cast<uint8_t>(word);
            registers[kReadData + 1] = static_cast<uint8_t>(word >> 8);
            break;
        }
        case 0x02:
            eeprom.writeWord(address, command.data);
            break;
        case 0x04:
            eeprom.setWriteEnable(true);
            break;
        default:
            eeprom.setWriteEnable(false);
            break;
        }
    }

    uint8_t pollCommand() {
        if (!queue.empty() && engineRuns()) {
            if (polls < activeTiming().velocityCommandPolls) {
                ++polls;
            } else {
                carryOut(queue.front());
                queue.pop_front();
                polls = 0;
            }
        }
        return static_cast<uint8_t>((registers[kCommand] & ~kCommandBits) | pendingBits());
    }

    void startCommands(uint8_t value) {
        registers[kCommand] = value & static_cast<uint8_t>(~kCommandBits);
        uint8_t fresh = value & kCommandBits & static_cast<uint8_t>(~pendingBits());
        for (uint8_t bit = 0x01; bit <= 0x08; bit = static_cast<uint8_t>(bit << 1)) {
            if ((fresh & bit) != 0) {
                uint16_t data = static_cast<uint16_t>(registers[kWriteData] | registers[kWriteData + 1] << 8);
                queue.push_back({bit, registers[kAddress], data});
            }
        }
    }

    uint8_t readByte(uint16_t offset) {
        switch (offset) {
        case kEecsr:
            return eecsr();
        case kCommand:
            return pollCommand();
        default:
            return registers[offset];
        }
    }

    void writeByte(uint16_t offset, uint8_t value) {
        switch (offset) {
        case kEecsr:
            registers[kEecsr] = static_cast<uint8_t>((registers[kEecsr] & kReadOnlyStatus) |
                                                     (value & ~kReadOnlyStatus));
            if ((value & kEnable) == 0 && !queue.empty()) {
                recordOperation("engine disabled: " + std::to_string(queue.size()) +
                                " command(s) dropped");
                queue.clear();
                polls = 0;
            }
            break;
        case kCommand:
            startCommands(value);
            break;
        case kReadData:
        case kReadData + 1:
            break;
        default:
            registers[offset] = value;
            break;
        }
    }

    uint16_t base;
    std::array<uint8_t, kPorts> registers{};
    MicrowireEeprom eeprom;
    std::deque<Command> queue;
    unsigned polls = 0;
};

uint32_t readPort(void *context, uint16_t port, int width) {
    auto *velocity = static_cast<Velocity *>(context);
    ++stats().registerReads;
    return readBytes(static_cast<uint16_t>(port - velocity->base), width, [velocity](uint16_t offset) {
        return velocity->readByte(offset % kPorts);
    });
}

void writePort(void *context, uint16_t port, int width, uint32_t value) {
    auto *velocity = static_cast<Velocity *>(context);
    ++stats().registerWrites;
    writeBytes(static_cast<uint16_t>(port - velocity->base), width, value,
               [velocity](uint16_t offset, uint8_t byte) { velocity->writeByte(offset % kPorts, byte); });
}

}  // namespace

ModelHandle makeVelocityModel(uint16_t ioBase, EepromImage &eeprom) {
    auto velocity = std::make_shared<Velocity>(ioBase, eeprom);
    return {velocity, PortModel{ioBase, kPorts, velocity.get(), readPort, writePort}};
}

}  // namespace sim::nic
