// Every handler's parameters through the command table, on a simulated
// device whose programs never run: the runner answers every line as a
// success without running it, downloads are refused, and the lock screen
// (which forks) is left out. Any command document must come back with the
// handler's outputs well formed, never a crash, a leak or undefined
// behaviour.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "fuzz/support/fuzzSupport.h"
#include "ixo/commands.h"

namespace {

int refuseDownload(const char *, const char *, const char *, const char *, int) { return -1; }
int refuseDownloadToFile(const char *, const char *, int) { return -1; }

AgentFunctionTable functions{};

CommandHandlerFn handlerFor(const char *name) {
    for (PlatformCommandHandler *row = getPlatformCommandHandlers(); row->handler != nullptr;
         ++row) {
        if (std::strcmp(row->name, name) == 0) {
            return row->handler;
        }
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    fuzz::useSimulatedDevice(fuzz::succeedingRunner);
    functions.downloadWithCredentials = refuseDownload;
    functions.downloadToFile = refuseDownloadToFile;
    initPlatformSpecificCommands(&functions);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string error;
    agent::CommandPtr command = fuzz::parseInput(data, size, &error);
    if (!command) {
        return 0;
    }
    CommandHandlerFn handler = handlerFor(command->name);
    const char *lockout = getSubNodeContentByName(command->parameters, "lockoutUser");
    if (handler == nullptr || (lockout != nullptr && std::strcmp(lockout, "true") == 0)) {
        return 0;
    }
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    handler(command.get(), &response, &errorClass, &message);
    if (response != nullptr) {
        FUZZ_CHECK(getTotalBufferLength(response) >= 0, "response of negative length");
        freeAllCharBuffers(response);
    }
    std::free(errorClass);
    std::free(message);
    return 0;
}
