// The subcommands of ixoAgent. Each is one row of the table in cliTable.cpp
// and one function; it returns the process's exit status: 0 done, 1 the
// command failed, 2 it could not be run (see cliFailure and cliUsage).
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

struct CliContext {
    // The loaded library, attached to the device; null for subcommands that
    // run without it.
    const PlatformLibrary *library = nullptr;
    // The words after the subcommand's name.
    std::vector<std::string> arguments;
    // The simulated device's root, "" on the real device. For subcommands
    // without the library: the --device-root given, else "".
    std::string deviceRoot;
    RunOptions run;
};

struct Subcommand {
    const char *name;
    const char *usage;    // "NAME ARGUMENTS", for --help and usage errors
    const char *summary;  // what it does, for --help (lines after the first indented)
    bool needsLibrary;
    int (*run)(const CliContext &context);
};

// Ends with a row whose name is null.
extern const Subcommand subcommands[];
const Subcommand *findSubcommand(const std::string &name);

// "ixoAgent: TEXT" on standard error; returns 2.
int cliFailure(const std::string &text);
// "ixoAgent: usage: ixoAgent USAGE"; returns 2.
int cliUsage(const Subcommand &subcommand);

// The per-user simulated device used when no --device-root is given.
std::string defaultDeviceRoot();
// Creates the directories leading to path (not path itself).
bool makeParents(const std::string &path, std::string *error);

int simInitCommand(const CliContext &context);
int listCommands(const CliContext &context);
int runCommandFile(const CliContext &context);
int showPending(const CliContext &context);
int resumePending(const CliContext &context);
int settingsCommand(const CliContext &context);
int registryCommand(const CliContext &context);
int eepromCommand(const CliContext &context);
int networkCommand(const CliContext &context);
int inventoryCommand(const CliContext &context);

}  // namespace agent
