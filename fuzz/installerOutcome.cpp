// The installer's outcome line ("ok", or "error REASON"), read back from the
// file the device's installer and deinstaller leave in /tmp: any content
// gives success, or a failure with the error class "system_error" and, for an
// "error" line, its reason. The add-on removal runs through the command
// table; the runner stands in for the deinstaller by writing the input as
// its outcome file, and runs nothing.
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "fuzz/support/fuzzSupport.h"
#include "ixo/commands.h"

namespace {

std::string root;
std::string outcome;
int installerRuns = 0;
agent::CommandPtr removal;
CommandHandlerFn handler = nullptr;

int deinstallerRunner(const char *commandLine) {
    if (std::strstr(commandLine, "/sbin/installer/") != nullptr) {
        ++installerRuns;
        fuzz::writeFile(root + "/tmp/ixoAddonPipe", outcome);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    root = fuzz::useSimulatedDevice(deinstallerRunner);
    std::string error;
    removal = agent::parseCommand(
        "<command name=\"uninstallFromDevice\"><parameters>"
        "<applicationName>HelloAddon</applicationName></parameters></command>",
        "removal.xml", &error);
    if (!removal) {
        fuzz::fail("removal command", error);
    }
    for (PlatformCommandHandler *row = getPlatformCommandHandlers(); row->handler != nullptr;
         ++row) {
        if (std::strcmp(row->name, "uninstallFromDevice") == 0) {
            handler = row->handler;
        }
    }
    if (handler == nullptr) {
        fuzz::fail("uninstallFromDevice in the command table", "");
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    outcome.assign(reinterpret_cast<const char *>(data), size);
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    int runsBefore = installerRuns;
    int result = handler(removal.get(), &response, &errorClass, &message);
    std::string errorText = errorClass != nullptr ? errorClass : "";
    freeAllCharBuffers(response);
    std::free(errorClass);
    std::free(message);
    FUZZ_CHECK(installerRuns == runsBefore + 1, "the deinstaller did not run");
    FUZZ_CHECK(result == 0 || result == -1, "result " + std::to_string(result));
    if (result != 0) {
        FUZZ_CHECK(errorText == "system_error", "error class '" + errorText + "'");
    }
    // Any other first line counts as success, as the installer's own "ok".
    bool errorLine = strncasecmp(outcome.c_str(), "error", 5) == 0;
    if (errorLine || outcome.empty()) {
        FUZZ_CHECK(result == -1, "an error outcome reported as success: " + outcome);
    }
    return 0;
}
