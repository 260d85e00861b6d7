// Registry access through the library as the agent's commands use it: open,
// read or write one key, close, on a registry of 1000 keys. Runs on a device
// root in a temporary directory; nothing of this machine is touched.
#include <benchmark/benchmark.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "agent/ixoagent.h"
#include "ixo/registry.h"
#include "ixo/seams.h"

namespace {

std::string root;

int refuseCommands(const char *) { return -1; }

int removeEntry(const char *path, const struct stat *, int, struct FTW *) {
    return ::remove(path);
}

bool prepareDevice() {
    char pattern[] = "/tmp/ixo-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return false;
    }
    root = pattern;
    if (mkdir((root + "/tmp").c_str(), 0755) != 0) {
        return false;
    }
    std::string content = "[IxoSettings]\n";
    for (int key = 0; key < 1000; ++key) {
        content += "key" + std::to_string(key) + "=value of key " + std::to_string(key) + "\n";
    }
    FILE *file = std::fopen((root + "/tmp/system.conf").c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fputs(content.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

void OpenGetClose(benchmark::State &state) {
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

int main(int argc, char **argv) {
    if (!prepareDevice()) {
        std::perror("cannot prepare the benchmark's device root");
        return 2;
    }
    ixoSetDeviceRoot(root.c_str());
    ixoSetCommandRunner(refuseCommands);
    agent::setDeviceRoot(root);
    agent::setLogLevel(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    nftw(root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
