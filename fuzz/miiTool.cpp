// mii-tool's report of a wired interface's link: whatever the tool prints
// into its capture file, reading the interface gives a known speed and
// duplex, or none. The runner stands in for mii-tool by writing the input
// into the capture file named on its command line; it runs nothing.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "fuzz/support/fuzzSupport.h"
#include "ixo/agent.h"
#include "ixo/platform.h"

namespace {

std::string root;
std::string capturePath;
std::string report;
int miiToolRuns = 0;

int miiToolRunner(const char *commandLine) {
    if (std::strstr(commandLine, "/sbin/mii-tool ") != nullptr) {
        ++miiToolRuns;
        fuzz::writeFile(capturePath, report);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    root = fuzz::useSimulatedDevice(miiToolRunner);
    capturePath = root + "/tmp/networkSpeed" + std::to_string(static_cast<long>(getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    report.assign(reinterpret_cast<const char *>(data), size);
    int registry = reg_open("/tmp/system.conf");
    FUZZ_CHECK(registry != 0, "the simulated device's temporary registry");
    PlatformData *record = static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData)));
    FUZZ_CHECK(record != nullptr, "out of memory");
    int runsBefore = miiToolRuns;
    getNetworkInterfaceData(registry, record, "Network-eth0");
    reg_close_no_action(registry);
    FUZZ_CHECK(miiToolRuns == runsBefore + 1, "mii-tool not asked");
    NetworkInterface *net = record->networkList;
    FUZZ_CHECK(net != nullptr, "no interface read");
    FUZZ_CHECK(net->linkSpeed == 0 || net->linkSpeed == 10 || net->linkSpeed == 100 ||
                   net->linkSpeed == 1000,
               "link speed " + std::to_string(net->linkSpeed));
    FUZZ_CHECK(net->linkDuplex <= 2, "link duplex " + std::to_string(net->linkDuplex));
    freePlatformData(record);
    std::free(record);
    return 0;
}
