// What ixoAgent does around a subcommand: its global options, the services
// and the device they set up, and the library's test mode.
#pragma once

#include <string>

#include "agent/cliCommands.h"
#include "agent/platformLibrary.h"

namespace agent {

struct GlobalOptions {
    std::string deviceRoot;
    bool realDevice = false;
    std::string library;
    std::string logFile;
    int logLevel = 3;
    std::string downloadUser;
    std::string downloadPasswordFile;
    bool poweroff2MB = false;
    bool testMode = false;
    bool version = false;
    RunOptions run;
};

// Binds the global options to options; they are accepted before and after
// the subcommand.
void defineGlobalOptions(CommandLine &commandLine, GlobalOptions *options);

// Checks what the parser cannot (options that exclude each other) and makes
// the device root absolute. -1 when fine, else the exit status.
int settleGlobalOptions(GlobalOptions *options);

// Logging, credentials and the power-off flag, before the library runs.
// -1 when set, else the exit status.
int configureServices(const GlobalOptions &options);

// Points the library and the agent at the device, real or simulated; the
// per-user device is built on first use. -1 when attached, else the exit
// status.
int attachDevice(const GlobalOptions &options, PlatformLibrary &library, std::string *root);

// A device whose shell cannot start runs none of its command lines: a
// command run on it would report success for work that did not happen.
// -1 when the simulated device's shell starts (or on the real device), else
// the exit status.
int checkDeviceShell(const std::string &root);

// The library's registry test mode, with copies of the registries under
// $HOME/.v6_test_dir made from the files beside this executable. -1 when the
// copies are there, else the exit status.
int enterTestMode(const PlatformLibrary &library);

}  // namespace agent
