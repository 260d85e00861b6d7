// Registry access through the library as the agent's commands use it: open,
// read or write one key, close, on a registry of 1000 keys.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/benchSupport.h"
#include "ixo/registry.h"

namespace {

bool prepareRegistry() {
    static bool prepared = false;
    if (!prepared) {
        std::string content = "[IxoSettings]\n";
        for (int key = 0; key < 1000; ++key) {
            content += "key" + std::to_string(key) + "=value of key " + std::to_string(key) + "\n";
        }
        prepared = bench::writeDeviceFile("/tmp/system.conf", content);
    }
    return prepared;
}

void OpenGetClose(benchmark::State &state) {
    if (!prepareRegistry()) {
        state.SkipWithError("cannot write the registry");
        return;
    }
    char value[IXO_REGISTRY_BUFFER_SIZE];
    for (auto _ : state) {
        int handle = p_openReg("/tmp/system.conf");
        if (p_regGet(handle, value, "IxoSettings", "key500", "", sizeof value) != 0) {
            state.SkipWithError("read failed");
        }
        p_CloseNoAction(handle);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(OpenGetClose)->Unit(benchmark::kMicrosecond);

void OpenSetClose(benchmark::State &state) {
    if (!prepareRegistry()) {
        state.SkipWithError("cannot write the registry");
        return;
    }
    long round = 0;
    for (auto _ : state) {
        std::string value = "round " + std::to_string(++round);
        int handle = p_openReg("/tmp/system.conf");
        if (p_regSet(handle, "IxoSettings", "key500", value.c_str()) != 0) {
            state.SkipWithError("write failed");
        }
        p_CloseNoAction(handle);
    }
}
BENCHMARK(OpenSetClose)->Unit(benchmark::kMillisecond);

}  // namespace
