// Inventory collection on a simulated thin client, as the agent asks for it:
// getPlatformData alone, and with the interfaces and the identification
// checks that "ixoAgent inventory" adds. Counts the command lines the
// library runs and the programs in them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/benchSupport.h"
#include "ixo/assets.h"
#include "ixo/platform.h"
#include "ixo/registry.h"
#include "sim/attach.h"
#include "sim/sim.h"

namespace {

unsigned long commandLines = 0;
unsigned long programs = 0;

// The chroot runner, counting: one shell per line and one program per stage
// of its pipeline.
int countingRunner(const char *line) {
    ++commandLines;
    programs += 1;
    for (const char *c = line; *c != '\0'; ++c) {
        programs += *c == '|' ? 1 : 0;
    }
    return sim::chrootRunner(line);
}

// A simulated device of its own under the benchmarks' root, with its Rhine on
// the port bus and every seam pointed at it for as long as it lives.
class SimulatedDevice {
public:
    explicit SimulatedDevice(std::string *error) {
        root_ = bench::deviceRoot() + "/inventory-device";
        ready_ = sim::buildDevice(root_, error) &&
                 sim::attachDevice(sim::linkedLibrarySeams(), root_, countingRunner, error);
    }
    ~SimulatedDevice() {
        // Back to the benchmarks' root as main() attached it, the bus empty.
        sim::useDeviceRoot(sim::linkedLibrarySeams(), bench::deviceRoot(), bench::refuseCommands);
        sim::resetPortBus();
    }
    bool ready() const { return ready_; }

private:
    std::string root_;
    bool ready_ = false;
};

void reportCounts(benchmark::State &state) {
    double iterations = static_cast<double>(state.iterations());
    state.counters["commandLines"] = static_cast<double>(commandLines) / iterations;
    state.counters["programs"] = static_cast<double>(programs) / iterations;
}

// getPlatformData alone, or (wholeAgentInventory) what "ixoAgent inventory"
// collects: the record, every interface of the temporary registry, the
// platform type and the TPM, brand and OEM checks.
void collectInventory(benchmark::State &state, bool wholeAgentInventory) {
    std::string error;
    SimulatedDevice device(&error);
    if (!device.ready()) {
        state.SkipWithError(error.c_str());
        return;
    }
    commandLines = programs = 0;
    PlatformData record;
    std::memset(&record, 0, sizeof record);
    for (auto _ : state) {
        if (getPlatformData(&record) != 0 || record.networkList == nullptr) {
            state.SkipWithError("collection failed");
        }
        if (wholeAgentInventory) {
            int registry = p_openReg("/tmp/system.conf");
            for (const NetworkInterfaceSection *row = networkInterfaces;
                 row->sectionName[0] != '\0'; ++row) {
                getNetworkInterfaceData(registry, &record, row->sectionName);
            }
            p_CloseNoAction(registry);
            int checks =
                getPlatformType() + isTPMPresent() + isThisNorvPlatform() + is_Cisco_device();
            benchmark::DoNotOptimize(checks);
        }
        freePlatformData(&record);
    }
    reportCounts(state);
}

void GetPlatformData(benchmark::State &state) { collectInventory(state, false); }
BENCHMARK(GetPlatformData)->Unit(benchmark::kMillisecond)->UseRealTime();

void AgentInventory(benchmark::State &state) { collectInventory(state, true); }
BENCHMARK(AgentInventory)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
