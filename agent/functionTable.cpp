// The function table handed to the library with initPlatformSpecificCommands.
// The library calls only the two download entries.
#include "agent/ixoagent.h"

namespace {

int downloadWithCredentials(const char *url, const char *, const char *, const char *destination,
                            int) {
    ixoLogger("Agent", __func__, __LINE__, 1,
              "Cannot download '%s' to '%s': downloads are not available in this agent build",
              url != nullptr ? url : "", destination != nullptr ? destination : "");
    return -1;
}

int downloadToFile(const char *url, const char *destination, int) {
    ixoLogger("Agent", __func__, __LINE__, 1,
              "Cannot download '%s' to '%s': downloads are not available in this agent build",
              url != nullptr ? url : "", destination != nullptr ? destination : "");
    return -1;
}

AgentFunctionTable table = {nullptr, nullptr,       nullptr, downloadWithCredentials,
                            nullptr, downloadToFile};

}  // namespace

namespace agent {

AgentFunctionTable *functionTable() { return &table; }

}  // namespace agent
