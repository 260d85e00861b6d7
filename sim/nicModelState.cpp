#include "sim/nicModelState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sim/fileOperations.h"

namespace sim {

namespace {

// A knob holds from when it is set until the port bus is reset.
template <typename Value>
struct Knob {
    Value value{};
    unsigned long resets = 0;
    bool set = false;
    Value current() const { return set && resets == portBusResets() ? value : Value{}; }
    void assign(const Value &newValue) {
        value = newValue;
        resets = portBusResets();
        set = true;
    }
};

Knob<nic::Fault> faultKnob;
Knob<NicTiming> timingKnob;

NicStats modelStats;
std::vector<std::string> operations;
constexpr size_t kOperationsKept = 20000;

}  // namespace

void setNicFault(const std::string &fault) {
    static const struct {
        const char *name;
        nic::Fault fault;
    } kFaults[] = {{"none", nic::Fault::None},
                   {"refuse", nic::Fault::Refuse},
                   {"busy", nic::Fault::Busy},
                   {"timeout", nic::Fault::Timeout},
                   {"stuck", nic::Fault::Stuck}};
    for (const auto &known : kFaults) {
        if (fault == known.name) {
            faultKnob.assign(known.fault);
            return;
        }
    }
    throw std::invalid_argument("unknown controller fault '" + fault +
                                "' (none, refuse, busy, timeout, stuck)");
}

void setNicTiming(const NicTiming &timing) { timingKnob.assign(timing); }
NicTiming nicTiming() { return timingKnob.current(); }

NicStats nicStats() { return modelStats; }
std::vector<std::string> nicOperations() { return operations; }
void clearNicOperations() { operations.clear(); }

namespace nic {

Fault activeFault() { return faultKnob.current(); }
NicTiming activeTiming() { return timingKnob.current(); }

NicStats &stats() { return modelStats; }

void recordOperation(const std::string &line) {
    if (operations.size() < kOperationsKept) {
        operations.push_back(line);
    }
}

void clearRecords() {
    modelStats = NicStats{};
    operations.clear();
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
    return text;
}

std::string hexWord(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value & 0xFFFFu);
    return text;
}

EepromImage::EepromImage(std::string path, std::vector<uint8_t> bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)) {
    if (bytes_.empty() || bytes_.size() % 2 != 0) {
        throw std::invalid_argument("an EEPROM image needs an even, non-zero size");
    }
}

uint16_t EepromImage::word(size_t index) const {
    size_t offset = (2 * index) % bytes_.size();
    return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
}

void EepromImage::setByte(size_t offset, uint8_t value) {
    if (activeFault() == Fault::Stuck) {
        return;
    }
    offset %= bytes_.size();
    bytes_[offset] = value;
    persist(offset, 1);
}

void EepromImage::setWord(size_t index, uint16_t value) {
    if (activeFault() == Fault::Stuck) {
        return;
    }
    size_t offset = (2 * index) % bytes_.size();
    bytes_[offset] = static_cast<uint8_t>(value);
    bytes_[offset + 1] = static_cast<uint8_t>(value >> 8);
    persist(offset, 2);
}

void EepromImage::persist(size_t offset, size_t count) {
    files::Fd fd(::open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    ssize_t wrote = -1;
    if (fd.get() >= 0) {
        do {
            wrote = ::pwrite(fd.get(), bytes_.data() + offset, count, static_cast<off_t>(offset));
        } while (wrote < 0 && errno == EINTR);
    }
    if (wrote != static_cast<ssize_t>(count) && !warned_) {
        // The device goes on with its cells in memory; the next run starts
        // from what the file holds.
        warned_ = true;
        std::fprintf(stderr, "simulated EEPROM: %s\n",
                     files::failure("cannot write through to", path_).c_str());
    }
}

}  // namespace nic

}  // namespace sim
