// Full EEPROM transfers through the library on each controller model: one
// read transfer and one write transfer (the security key) per iteration,
// with the register accesses and delay units each one costs. A delay unit
// is about a microsecond on the device, so "device ms" is the time the
// transfer's waits alone take there.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/benchSupport.h"
#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"

namespace {

// The library announces the controller on standard output at every
// transfer; the benchmark's own report goes there too, after the loop.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(1);
        int null = open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && null >= 0) {
            dup2(null, 1);
        }
        if (null >= 0) {
            close(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, 1);
            close(saved_);
        }
    }
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int saved_ = -1;
};

bool attachFamily(benchmark::State &state, const std::string &family) {
    std::string error;
    sim::resetPortBus();
    if (!sim::writeNicDevice(bench::deviceRoot(), family, &error) ||
        !sim::attachNicModel(bench::deviceRoot(), &error)) {
        state.SkipWithError(("cannot attach the " + family + " model: " + error).c_str());
        return false;
    }
    return true;
}

void Transfer(benchmark::State &state, const std::string &family, bool write) {
    if (!attachFamily(state, family)) {
        return;
    }
    QuietStdout quiet;
    unsigned long accesses = 0;
    unsigned long delays = 0;
    uint32_t key = 0;
    for (auto _ : state) {
        EepromAssetRecord record;
        std::memset(record, 0, sizeof record);
        record[0] = write ? ASSET_SECURITY_KEY : 0x3F;
        ++key;
        std::memcpy(record + EEPROM_ASSET_SLOT(1), &key, sizeof key);
        unsigned long accessesBefore = sim::portAccesses();
        unsigned long delaysBefore = sim::delayUnits();
        int result = write ? writeEepromAssetValues(record) : readEepromAssetValues(record);
        unsigned long spentDelays = sim::delayUnits() - delaysBefore;
        accesses += sim::portAccesses() - accessesBefore - spentDelays;
        delays += spentDelays;
        if (result != 0) {
            state.SkipWithError("the transfer failed");
            break;
        }
        benchmark::DoNotOptimize(record);
    }
    double transfers = static_cast<double>(state.iterations());
    if (transfers > 0) {
        state.counters["register accesses"] = static_cast<double>(accesses) / transfers;
        state.counters["delay units"] = static_cast<double>(delays) / transfers;
        state.counters["device ms"] = static_cast<double>(delays) / transfers / 1000.0;
    }
}

void RhineRead(benchmark::State &state) { Transfer(state, "rhine", false); }
void RhineWrite(benchmark::State &state) { Transfer(state, "rhine", true); }
void VelocityRead(benchmark::State &state) { Transfer(state, "velocity", false); }
void VelocityWrite(benchmark::State &state) { Transfer(state, "velocity", true); }
void JmicronRead(benchmark::State &state) { Transfer(state, "jmicron", false); }
void JmicronWrite(benchmark::State &state) { Transfer(state, "jmicron", true); }

BENCHMARK(RhineRead)->Unit(benchmark::kMillisecond);
BENCHMARK(RhineWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(VelocityRead)->Unit(benchmark::kMillisecond);
BENCHMARK(VelocityWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(JmicronRead)->Unit(benchmark::kMillisecond);
BENCHMARK(JmicronWrite)->Unit(benchmark::kMillisecond);

}  // namespace
