// The subcommands of ixoAgent that work through the loaded library. Each
// returns the process's exit status: 0 done, 1 the command failed, 2 it could
// not be run.
#pragma once

#include <string>
#include <vector>

#include "agent/platformLibrary.h"

namespace agent {

struct RunOptions {
    // The device reboots once the command is done (as after an agent
    // upgrade): the response is kept for after the reboot.
    bool rebootAfter = false;
};

int listCommands(const PlatformLibrary &library);
int runCommandFile(const PlatformLibrary &library, const std::string &file,
                   const RunOptions &options);
int showPending(const PlatformLibrary &library);
int resumePending(const PlatformLibrary &library, const RunOptions &options);
int settingsCommand(const PlatformLibrary &library, const std::vector<std::string> &arguments);
int registryCommand(const PlatformLibrary &library, const std::vector<std::string> &arguments);

// "ixoAgent: TEXT" on standard error; returns 2.
int cliFailure(const std::string &text);

}  // namespace agent
