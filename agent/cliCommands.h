// The subcommands of ixoAgent. Each file cli*.cpp defines its subcommands on
// the command line (their arguments, options and --help text) with one
// define* function and runs them; an action returns the process's exit
// status: 0 done, 1 the command failed, 2 it could not be run.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "agent/platformLibrary.h"

namespace CLI {
class App;
}

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
    // The simulated device's root, "" on the real device. For subcommands
    // without the library: the --device-root given, else "".
    std::string deviceRoot;
    RunOptions run;
};

// What a subcommand needs before its action runs.
enum class Needs {
    Nothing,      // runs on its own (sim-init)
    Library,      // the library, attached to the device
    DeviceShell,  // that, and a device whose shell starts: it runs command lines
};

using CliAction = std::function<int(const CliContext &context)>;

// ixoAgent's command line: the global options and the tree of subcommands.
// Parsing changes nothing but the variables the options are bound to.
class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine &) = delete;
    CommandLine &operator=(const CommandLine &) = delete;

    CLI::App &root() { return *root_; }

    // A subcommand that runs action. Its arguments and options are bound to
    // variables the action owns (captured by it), so a new option is one
    // line in the subcommand's file.
    CLI::App *add(CLI::App &parent, const std::string &name, const std::string &description,
                  Needs needs, CliAction action);
    // A subcommand that only gathers others ("settings get"); one of them
    // must follow it.
    CLI::App *addGroup(CLI::App &parent, const std::string &name, const std::string &description);

    enum class Outcome { Run, Done, Refused };
    // Parses the words. Done: --help was answered on standard output.
    // Refused: a one-line message is on standard error.
    Outcome parse(int argc, char **argv);

    struct Command {
        Needs needs = Needs::Nothing;
        CliAction action;
    };
    // The subcommand chosen by the last parse, or null.
    const Command *chosen() const;

private:
    std::unique_ptr<CLI::App> root_;
    std::map<const CLI::App *, Command> commands_;
};

// "ixoAgent: TEXT" on standard error; returns 2.
int cliFailure(const std::string &text);
// The same for a failure of the command itself; returns 1.
int commandFailure(const std::string &text);

// The per-user simulated device used when no --device-root is given.
std::string defaultDeviceRoot();
// Creates the directories leading to path (not path itself).
bool makeParents(const std::string &path, std::string *error);

// Every subcommand, in the order --help lists them.
void defineSubcommands(CommandLine &commandLine);
void defineSimInit(CommandLine &commandLine);
void defineCommandRuns(CommandLine &commandLine);  // commands, run, pending, resume
void defineSettings(CommandLine &commandLine);     // settings, registry
void defineNetwork(CommandLine &commandLine);
void defineEeprom(CommandLine &commandLine);
void defineInventory(CommandLine &commandLine);

}  // namespace agent
