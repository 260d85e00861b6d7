// ixoAgent: the development agent. It loads libIxoPlatformOs as the device's
// agent does, provides the agent services from its own code, and runs
// management commands and the library's other services on a simulated thin
// client, or on this machine as the device with --real-device.
#include <cstdio>
#include <exception>
#include <string>

#include "agent/cliCommands.h"
#include "agent/cliSession.h"
#include "host/host.h"
#include "agent/platformLibrary.h"

namespace {

std::string libraryPath(const agent::GlobalOptions &options) {
    return options.library.empty()
               ? agent::defaultLibraryPath(IXO_INSTALL_LIBRARY_PATH, IXO_BUILD_LIBRARY_PATH)
               : options.library;
}

int printVersions(const agent::GlobalOptions &options) {
    std::printf("ixoAgent %s\n", IXO_AGENT_VERSION);
    agent::PlatformLibrary library;
    std::string error;
    if (!agent::loadPlatformLibrary(libraryPath(options), &library, &error)) {
        std::fflush(stdout);
        return agent::cliFailure(error);
    }
    std::printf("libIxoPlatformOs %s (%s)\n", library.libraryVersion(), library.path.c_str());
    agent::unloadPlatformLibrary(&library);
    return 0;
}

int runWithLibrary(const agent::GlobalOptions &options,
                   const agent::CommandLine::Command &command, agent::CliContext &context) {
    agent::PlatformLibrary library;
    std::string error;
    if (!agent::loadPlatformLibrary(libraryPath(options), &library, &error)) {
        return agent::cliFailure(error);
    }
    int status = agent::attachDevice(options, library, &context.deviceRoot);
    if (status < 0 && command.needs == agent::Needs::DeviceShell) {
        status = agent::checkDeviceShell(context.deviceRoot);
    }
    if (status < 0 && options.testMode) {
        status = agent::enterTestMode(library);
    }
    if (status < 0) {
        library.initCommands(agent::functionTable());
        context.library = &library;
        status = command.action(context);
    }
    // Test mode's name buffer lives as long as the process (the library
    // never frees it): once test mode is on, the library stays loaded.
    if (!options.testMode) {
        agent::unloadPlatformLibrary(&library);
    }
    return status;
}

int run(int argc, char **argv) {
    agent::CommandLine commandLine;
    agent::GlobalOptions options;
    agent::defineGlobalOptions(commandLine, &options);
    agent::defineSubcommands(commandLine);
    switch (commandLine.parse(argc, argv)) {
    case agent::CommandLine::Outcome::Done:
        return 0;
    case agent::CommandLine::Outcome::Refused:
        return 2;
    case agent::CommandLine::Outcome::Run:
        break;
    }
    if (options.version) {
        return printVersions(options);
    }
    const agent::CommandLine::Command *command = commandLine.chosen();
    if (command == nullptr) {
        return agent::cliFailure("no command given (see 'ixoAgent --help')");
    }
    int status = agent::settleGlobalOptions(&options);
    if (status < 0) {
        status = agent::configureServices(options);
    }
    if (status >= 0) {
        return status;
    }
    agent::CliContext context;
    context.run = options.run;
    if (command->needs == agent::Needs::Nothing) {
        context.deviceRoot = options.deviceRoot;
        return command->action(context);
    }
    return runWithLibrary(options, *command, context);
}

}  // namespace

int main(int argc, char **argv) {
    // Whatever goes wrong ends in one line and a status that says so.
    try {
        return run(argc, argv);
    } catch (const std::exception &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "ixoAgent: %s\n", error.what());
    } catch (...) {
        std::fflush(stdout);
        std::fprintf(stderr, "ixoAgent: stopped by an unexpected error\n");
    }
    return 1;
}
