// The VIA Rhine's EEPROM port: software drives the 93C46's lines itself
// through EECSR ("direct programming") while the configuration register
// grants the EEPROM to it.
//
// EECSR (I/O base + 0x74): 0x80, 0x40, 0x20 read-only status (the controller
// auto-loading or programming the EEPROM itself); 0x10 direct programming;
// 0x08 CS; 0x04 SK; 0x02 DI; 0x01 DO, read-only. The lines reach the EEPROM
// only while both 0x10 of EECSR and 0x80 of the configuration register
// (I/O base + 0x78) are set and the controller does not hold the EEPROM;
// otherwise the EEPROM sees them low and DO reads 0. Every other register is
// plain storage; the station address registers (0x00 to 0x05) hold what the
// power-on auto-load took from the EEPROM.
#include <array>

#include "sim/microwireEeprom.h"

namespace sim::nic {

namespace {

constexpr uint16_t kEecsr = 0x74;
constexpr uint16_t kConfig = 0x78;
constexpr uint8_t kControllerHolds = 0x70;
constexpr uint8_t kDirect = 0x10;
constexpr uint8_t kChipSelect = 0x08;
constexpr uint8_t kClock = 0x04;
constexpr uint8_t kDataIn = 0x02;
constexpr uint8_t kDataOut = 0x01;
constexpr uint8_t kEepromAccess = 0x80;
constexpr uint16_t kPorts = 0x100;

struct Rhine {
    Rhine(uint16_t ioBase, EepromImage &cells) : base(ioBase), eeprom(cells) {
        for (uint16_t offset = 0; offset < 6; ++offset) {
            registers[offset] = cells.byte(offset);
        }
    }

    bool linesGranted() const {
        return (registers[kEecsr] & kDirect) != 0 && (registers[kConfig] & kEepromAccess) != 0 &&
               activeFault() != Fault::Refuse;
    }

    void driveLines() {
        uint8_t lines = linesGranted() ? registers[kEecsr] : 0;
        eeprom.drive((lines & kChipSelect) != 0, (lines & kClock) != 0, (lines & kDataIn) != 0);
    }

    uint8_t readByte(uint16_t offset) {
        if (offset != kEecsr) {
            return registers[offset];
        }
        uint8_t value = registers[kEecsr] & static_cast<uint8_t>(~kDataOut);
        if (linesGranted() && eeprom.dataOut()) {
            value |= kDataOut;
        }
        if (activeFault() == Fault::Refuse) {
            value |= kControllerHolds;
        }
        return value;
    }

    void writeByte(uint16_t offset, uint8_t value) {
        if (offset == kEecsr) {
            registers[kEecsr] = value & (kDirect | kChipSelect | kClock | kDataIn);
        } else {
            registers[offset] = value;
        }
        if (offset == kEecsr || offset == kConfig) {
            driveLines();
        }
    }

    uint16_t base;
    std::array<uint8_t, kPorts> registers{};
    MicrowireEeprom eeprom;
};

uint32_t readPort(void *context, uint16_t port, int width) {
    auto *rhine = static_cast<Rhine *>(context);
    ++stats().registerReads;
    return readBytes(static_cast<uint16_t>(port - rhine->base), width, [rhine](uint16_t offset) {
        return rhine->readByte(offset % kPorts);
    });
}

void writePort(void *context, uint16_t port, int width, uint32_t value) {
    auto *rhine = static_cast<Rhine *>(context);
    ++stats().registerWrites;
    writeBytes(static_cast<uint16_t>(port - rhine->base), width, value,
               [rhine](uint16_t offset, uint8_t byte) { rhine->writeByte(offset % kPorts, byte); });
}

}  // namespace

ModelHandle makeRhineModel(uint16_t ioBase, EepromImage &eeprom) {
    auto rhine = std::make_shared<Rhine>(ioBase, eeprom);
    return {rhine, PortModel{ioBase, kPorts, rhine.get(), readPort, writePort}};
}

}  // namespace sim::nic
