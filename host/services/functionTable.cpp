// The function table handed to the library with initPlatformSpecificCommands.
// The library calls only the two download entries.
#include "host/download/download.h"
#include "host/host.h"

namespace {

AgentFunctionTable table = {nullptr, nullptr, nullptr, agent::downloadWithCredentials,
                            nullptr, agent::downloadToFile};

}  // namespace

namespace agent {

AgentFunctionTable *functionTable() { return &table; }

}  // namespace agent
