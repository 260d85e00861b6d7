#include <benchmark/benchmark.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "host/host.h"
#include "bench/benchSupport.h"
#include "sim/attach.h"

namespace {

std::string root;

int removeEntry(const char *path, const struct stat *, int, struct FTW *) {
    return ::remove(path);
}

}  // namespace

namespace bench {

const std::string &deviceRoot() { return root; }

int refuseCommands(const char *) { return -1; }

bool writeDeviceFile(const std::string &devicePath, const std::string &content) {
    std::string path = root + devicePath;
    for (size_t slash = path.find('/', root.size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
    }
    FILE *file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace bench

int main(int argc, char **argv) {
    char pattern[] = "/tmp/ixo-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("cannot make the benchmarks' device root");
        return 2;
    }
    root = pattern;
    // Root's home, where registry writers keep their locks.
    for (const char *home : {"/home", "/home/root"}) {
        if (mkdir((root + home).c_str(), 0755) != 0) {
            std::perror("cannot make the benchmarks' device root");
            return 2;
        }
    }
    std::string error;
    if (!sim::attachDevice(sim::linkedLibrarySeams(), root, bench::refuseCommands, &error)) {
        std::fprintf(stderr, "cannot attach the benchmarks' device root: %s\n", error.c_str());
        return 2;
    }
    agent::setLogLevel(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    nftw(root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
