#include "fuzz/support/fuzzSupport.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "sim/attach.h"
#include "sim/sim.h"

namespace fuzz {

namespace {

std::string workDir;

// Best effort: what cannot be removed stays for the next clean-up.
int removeEntry(const char *path, const struct stat *, int, struct FTW *) {
    std::remove(path);
    return 0;
}

void removeWorkDirectory() {
    if (!workDir.empty()) {
        removeTree(workDir);
    }
}

}  // namespace

void removeTree(const std::string &dir) {
    nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void installSafeSeams() {
    if (!workDir.empty()) {
        return;
    }
    // A run that breaks a target ends without exit handlers: scripts/fuzz.sh
    // points TMPDIR into its build folder and clears it afterwards.
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                          "/ixo-fuzz-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    workDir = pattern;
    std::atexit(removeWorkDirectory);
    std::string emptyRoot = workDir + "/empty-root";
    if (mkdir(emptyRoot.c_str(), 0755) != 0) {
        std::perror("mkdir");
        std::abort();
    }
    std::string error;
    if (!sim::attachDevice(sim::linkedLibrarySeams(), emptyRoot, refusingRunner, &error)) {
        fail("sim::attachDevice", error);
    }
    agent::setSleepFunction([](int) {});
    // Every message is still formatted, with the outside text in it; only
    // the bytes go nowhere, so that long runs fill no disk.
    agent::setLogLevel(4);
    if (!agent::setLogFile("/dev/null", &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
}

const std::string &workDirectory() { return workDir; }

agent::CommandPtr parseInput(const uint8_t *data, size_t size, std::string *error) {
    return agent::parseCommand(std::string(reinterpret_cast<const char *>(data), size), "fuzz.xml",
                               error);
}

std::string useSimulatedDevice(int (*runner)(const char *commandLine)) {
    std::string root = workDir + "/device";
    std::string error;
    if (!sim::buildDevice(root, &error)) {
        fail("sim::buildDevice", error);
    }
    // The controller stays off the port bus, as on the safe root.
    sim::useDeviceRoot(sim::linkedLibrarySeams(), root, runner);
    return root;
}

void useDeviceRoot(const std::string &root) {
    sim::useDeviceRoot(sim::linkedLibrarySeams(), root, refusingRunner);
}

void writeFile(const std::string &path, const std::string &content) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(content.data(), 1, content.size(), file) != content.size()) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(file);
}

int refusingRunner(const char *) { return 127 << 8; }

int succeedingRunner(const char *) { return 0; }

void fail(const char *what, const std::string &detail) {
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}

}  // namespace fuzz
