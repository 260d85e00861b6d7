// What the network controller models share: the fault and timing knobs, the
// bus clock, the records of what a model saw, and the EEPROM content written
// through to its file in the device root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/nicModels.h"
#include "sim/sim.h"

namespace sim::nic {

enum class Fault { None, Refuse, Busy, Timeout, Stuck };

// The fault and timing set since the last port bus reset (none, defaults
// after one).
Fault activeFault();
// True for the faults that keep a device from ever finishing.
inline bool hangs(Fault fault) { return fault == Fault::Busy || fault == Fault::Timeout; }
NicTiming activeTiming();

// The bus clock: one unit per port access.
inline unsigned long busTime() { return sim::portAccesses(); }

NicStats &stats();
void recordOperation(const std::string &line);
// Clears the stats and the operations (a model was attached).
void clearRecords();
// "0x05" for 5.
std::string hexByte(unsigned value);
std::string hexWord(unsigned value);

// The EEPROM's cells, in memory and in the file, byte for byte; 16-bit words
// are little-endian (word i is bytes 2i and 2i+1).
class EepromImage {
public:
    EepromImage(std::string path, std::vector<uint8_t> bytes);
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }
    uint8_t byte(size_t offset) const { return bytes_[offset % bytes_.size()]; }
    uint16_t word(size_t index) const;
    // Programs cells; under the "stuck" fault they keep their content.
    void setByte(size_t offset, uint8_t value);
    void setWord(size_t index, uint16_t value);
    // Takes new content (same size) into memory only: the caller wrote the file.
    void replace(const std::vector<uint8_t> &bytes) { bytes_ = bytes; }

private:
    // Programming is written through at once, so the content outlives the
    // process as an EEPROM outlives a power cycle.
    void persist(size_t offset, size_t count);

    std::string path_;
    std::vector<uint8_t> bytes_;
    bool warned_ = false;
};

// A model's state lives as long as its handle; ports is what goes on the bus.
struct ModelHandle {
    std::shared_ptr<void> state;
    PortModel ports;
};

// The models, each working on the image for as long as the handle lives.
// ioBase is the controller's I/O BAR.
ModelHandle makeRhineModel(uint16_t ioBase, EepromImage &eeprom);
ModelHandle makeVelocityModel(uint16_t ioBase, EepromImage &eeprom);
ModelHandle makeJmicronModel(uint16_t ioBase, EepromImage &eeprom);

// Splits an access of 1, 2 or 4 bytes into byte accesses at consecutive
// ports, the lowest first (x86 is little-endian).
template <typename ReadByte>
uint32_t readBytes(uint16_t offset, int width, ReadByte readByte) {
    uint32_t value = 0;
    for (int lane = 0; lane < width; ++lane) {
        value |= uint32_t{readByte(static_cast<uint16_t>(offset + lane))} << (8 * lane);
    }
    return value;
}
template <typename WriteByte>
void writeBytes(uint16_t offset, int width, uint32_t value, WriteByte writeByte) {
    for (int lane = 0; lane < width; ++lane) {
        writeByte(static_cast<uint16_t>(offset + lane), static_cast<uint8_t>(value >> (8 * lane)));
    }
}

}  // namespace sim::nic
