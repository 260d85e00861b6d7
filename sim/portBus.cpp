// The simulated x86 I/O port bus. The seam's functions take no context, so
// the bus is one per process, like the real one.
#include <cerrno>
#include <stdexcept>

#include "sim/sim.h"

namespace sim {

namespace {

// Reading the system control port waits about a microsecond on the real
// machine; drivers read it to pace their timing, so each read is one delay
// unit here.
constexpr uint16_t kSystemControlPort = 0x61;
// Bit 4 of that port is the memory refresh bit, which toggles on its own;
// delay loops that wait for it to change must see it move.
constexpr uint32_t kRefreshBit = 0x10;

struct Bus {
    std::vector<PortModel> models;
    unsigned long delayUnits = 0;
    unsigned long accesses = 0;
    std::vector<int> ioplLevels;
    // A process starts at level 0; on the device any port access below 3
    // faults. Counted here instead, so that tests can see one.
    int privilegeLevel = 0;
    unsigned long unprivilegedAccesses = 0;
    bool failIopl = false;
    bool refresh = false;
};

Bus &bus() {
    static Bus state;
    return state;
}

uint32_t allOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

const PortModel *modelAt(uint16_t port) {
    for (const PortModel &model : bus().models) {
        if (port >= model.firstPort && port - model.firstPort < model.portCount) {
            return &model;
        }
    }
    return nullptr;
}

void countAccess() {
    ++bus().accesses;
    if (bus().privilegeLevel < 3) {
        ++bus().unprivilegedAccesses;
    }
}

uint32_t readPort(uint16_t port, int width) {
    countAccess();
    if (port == kSystemControlPort) {
        ++bus().delayUnits;
        bus().refresh = !bus().refresh;
        return bus().refresh ? kRefreshBit : 0;
    }
    const PortModel *model = modelAt(port);
    if (model == nullptr || model->read == nullptr) {
        return allOnes(width);
    }
    return model->read(model->context, port, width) & allOnes(width);
}

void writePort(uint16_t port, int width, uint32_t value) {
    countAccess();
    if (port == kSystemControlPort) {
        return;
    }
    const PortModel *model = modelAt(port);
    if (model != nullptr && model->write != nullptr) {
        model->write(model->context, port, width, value & allOnes(width));
    }
}

int simIopl(int level) {
    bus().ioplLevels.push_back(level);
    if (bus().failIopl) {
        errno = EPERM;
        return -1;
    }
    if (level < 0 || level > 3) {
        errno = EINVAL;
        return -1;
    }
    bus().privilegeLevel = level;
    return 0;
}

uint8_t in8(uint16_t port) { return static_cast<uint8_t>(readPort(port, 1)); }
uint16_t in16(uint16_t port) { return static_cast<uint16_t>(readPort(port, 2)); }
uint32_t in32(uint16_t port) { return readPort(port, 4); }
void out8(uint16_t port, uint8_t value) { writePort(port, 1, value); }
void out16(uint16_t port, uint16_t value) { writePort(port, 2, value); }
void out32(uint16_t port, uint32_t value) { writePort(port, 4, value); }

const IxoPortIo kPortBus = {simIopl, in8, in16, in32, out8, out16, out32};

}  // namespace

const IxoPortIo *portBus() { return &kPortBus; }

void attachPortModel(const PortModel &model) {
    uint32_t end = uint32_t{model.firstPort} + model.portCount;
    if (model.portCount == 0 || end > 0x10000) {
        throw std::invalid_argument("a port model needs a range of ports within 0-0xFFFF");
    }
    if (model.firstPort <= kSystemControlPort && kSystemControlPort < end) {
        throw std::invalid_argument("port 0x61 belongs to the bus, not to a model");
    }
    for (uint32_t port = model.firstPort; port < end; ++port) {
        if (modelAt(static_cast<uint16_t>(port)) != nullptr) {
            throw std::invalid_argument("port model ranges overlap");
        }
    }
    bus().models.push_back(model);
}

namespace {
// Outlives the resets it counts.
unsigned long resetCount = 0;
}  // namespace

void resetPortBus() {
    bus() = Bus{};
    ++resetCount;
}

unsigned long portBusResets() { return resetCount; }

unsigned long delayUnits() { return bus().delayUnits; }
unsigned long portAccesses() { return bus().accesses; }
unsigned long unprivilegedAccesses() { return bus().unprivilegedAccesses; }
int ioPrivilegeLevel() { return bus().privilegeLevel; }
std::vector<int> ioplCalls() { return bus().ioplLevels; }
void failIopl(bool fail) { bus().failIopl = fail; }

}  // namespace sim
