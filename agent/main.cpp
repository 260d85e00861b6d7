// ixoAgent: the development agent. It loads libIxoPlatformOs as the device's
// agent does, provides the agent services from its own code, and runs
// management commands and the library's other services on a simulated thin
// client, or on this machine as the device with --real-device.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "agent/cliCommands.h"
#include "agent/ixoagent.h"
#include "agent/platformLibrary.h"
#include "agent/registry.h"
#include "sim/nicModels.h"
#include "sim/sim.h"

namespace {

const char optionsText[] =
    "Options:\n"
    "  --device-root DIR    the simulated device to work on (default:\n"
    "                       $XDG_CACHE_HOME/ixoAgent/device, else ~/.cache/ixoAgent/device,\n"
    "                       built on first use); it must have been made by sim-init\n"
    "  --real-device        work on this machine as the device: real device programs,\n"
    "                       files and I/O ports. Only on a thin client, as root\n"
    "  --library PATH       load this libIxoPlatformOs instead of the one beside the\n"
    "                       executable or the installed one\n"
    "  --log-file FILE      append the log to FILE instead of standard error\n"
    "  --log-level N        log messages up to level N: 1 errors, 2-3 progress,\n"
    "                       4 trace (default 3)\n"
    "  --download-user USER           user name for authenticated downloads\n"
    "  --download-password-file FILE  read the download password from FILE's first line\n"
    "  --poweroff-2mb-bios  power the device off before each reboot (2 MB BIOS devices)\n"
    "  --reboot-after       run/resume: the device reboots once the command is done;\n"
    "                       its outcome is kept for 'resume'\n"
    "  --test-mode          work on copies of the registries in $HOME/.v6_test_dir,\n"
    "                       taken from system.conf and dummy.control beside ixoAgent\n"
    "  --help               show this text\n"
    "\n"
    "Exit status: 0 when the command succeeded, 1 when it failed, 2 when it could not\n"
    "be run (bad options, command file or device).\n";

void printUsage(FILE *stream) {
    std::fputs("usage: ixoAgent [options] COMMAND [ARGUMENTS]\n\n"
               "Runs management commands and the device services of libIxoPlatformOs, on a\n"
               "simulated thin client unless --real-device is given.\n\nCommands:\n",
               stream);
    for (const agent::Subcommand *row = agent::subcommands; row->name != nullptr; ++row) {
        std::fprintf(stream, "  %s\n      ", row->usage);
        for (const char *c = row->summary; *c != '\0'; ++c) {
            std::fputc(*c, stream);
            if (*c == '\n') {
                std::fputs("      ", stream);
            }
        }
        std::fputc('\n', stream);
    }
    std::fprintf(stream, "\n%s", optionsText);
}

struct Options {
    std::string deviceRoot;
    bool realDevice = false;
    std::string library;
    std::string logFile;
    int logLevel = 3;
    std::string downloadUser;
    std::string downloadPasswordFile;
    bool poweroff2MB = false;
    bool testMode = false;
    agent::RunOptions run;
    std::vector<std::string> arguments;
};

int fail(const std::string &text) { return agent::cliFailure(text); }

bool parseLevel(const std::string &text, int *level) {
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < 0 || value > 9) {
        return false;
    }
    *level = static_cast<int>(value);
    return true;
}

// Returns -1 when parsing succeeded, else the exit status. Options come
// before the command; what follows the command is its own.
int parseOptions(int argc, char **argv, Options *options) {
    for (int index = 1; index < argc; ++index) {
        std::string word = argv[index];
        if (!options->arguments.empty() || word.empty() || word[0] != '-') {
            options->arguments.push_back(word);
            continue;
        }
        std::string *target = nullptr;
        if (word == "--help" || word == "-h") {
            printUsage(stdout);
            return 0;
        } else if (word == "--real-device") {
            options->realDevice = true;
        } else if (word == "--poweroff-2mb-bios") {
            options->poweroff2MB = true;
        } else if (word == "--reboot-after") {
            options->run.rebootAfter = true;
        } else if (word == "--test-mode") {
            options->testMode = true;
        } else if (word == "--device-root") {
            target = &options->deviceRoot;
        } else if (word == "--library") {
            target = &options->library;
        } else if (word == "--log-file") {
            target = &options->logFile;
        } else if (word == "--download-user") {
            target = &options->downloadUser;
        } else if (word == "--download-password-file") {
            target = &options->downloadPasswordFile;
        } else if (word == "--log-level") {
            if (index + 1 >= argc || !parseLevel(argv[index + 1], &options->logLevel)) {
                return fail("--log-level takes a number from 0 to 9 (see --help)");
            }
            ++index;
        } else {
            return fail("unknown option '" + word + "' (see --help)");
        }
        if (target != nullptr) {
            if (index + 1 >= argc) {
                return fail(word + " needs a value (see --help)");
            }
            *target = argv[++index];
        }
    }
    if (options->realDevice && !options->deviceRoot.empty()) {
        return fail("--real-device and --device-root exclude each other");
    }
    // Processes the library leaves behind (the agent upgrade's) run from "/":
    // the root must not depend on the current directory.
    if (!options->deviceRoot.empty() && options->deviceRoot[0] != '/') {
        char *current = getcwd(nullptr, 0);
        if (current == nullptr) {
            return fail(std::string("cannot tell the current directory: ") + std::strerror(errno));
        }
        options->deviceRoot = std::string(current) + "/" + options->deviceRoot;
        std::free(current);
    }
    return -1;
}

bool readPasswordFile(const std::string &path, std::string *password, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read the download password file " + path;
        return false;
    }
    std::getline(in, *password);
    return true;
}

// Points the library and the agent at the device, real or simulated.
// Returns -1 when attached, else the exit status.
int attachDevice(const Options &options, agent::PlatformLibrary &library, std::string *root) {
    if (options.realDevice) {
        root->clear();
        return -1;
    }
    bool chosen = !options.deviceRoot.empty();
    *root = chosen ? options.deviceRoot : agent::defaultDeviceRoot();
    std::string error;
    if (!sim::isDevice(*root)) {
        if (chosen) {
            return fail(*root + " is no simulated device; make one with 'ixoAgent sim-init " +
                        *root + "'");
        }
        if (!agent::makeParents(*root, &error) || !sim::buildDevice(*root, &error)) {
            return fail("cannot build the simulated device in " + *root + ": " + error);
        }
        std::fprintf(stderr, "ixoAgent: built a simulated thin client in %s\n", root->c_str());
    }
    // IXO_SHELL_LINE_LOG names a file that gets every command line run on
    // the simulated device, for the tests that check how lines are quoted.
    IxoCommandRunner runner = sim::chrootRunner;
    const char *lineLog = std::getenv("IXO_SHELL_LINE_LOG");
    if (lineLog != nullptr && lineLog[0] != '\0') {
        sim::setLineLog(lineLog);
        runner = sim::recordingRunner;
    }
    library.setDeviceRoot(root->c_str());
    library.setCommandRunner(runner);
    library.setPortIo(sim::portBus());
    agent::setDeviceRoot(*root);
    agent::setHookRunner(runner);
    sim::setRoot(*root);
    // The device's network controller, when it has one; without one the
    // EEPROM layer finds no controller and says so itself.
    std::string nicError;
    if (!sim::attachNicModel(*root, &nicError) && !sim::nicFamily(*root).empty()) {
        std::fprintf(stderr, "ixoAgent: the network controller is not attached: %s\n",
                     nicError.c_str());
    }
    return -1;
}

// Registry test mode: the library maps the registries to copies under
// $HOME/.v6_test_dir, made from the files beside this executable.
int enterTestMode(const agent::PlatformLibrary &library) {
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return fail("--test-mode needs HOME set to an absolute directory");
    }
    agent::setHostRegistryDirectory(std::string(home) + "/.v6_test_dir");
    std::string self = agent::executablePath();
    std::vector<char> path(self.begin(), self.end());
    path.push_back('\0');
    library.setTestMode(path.data());
    return -1;
}

// Logging, credentials and the power-off flag, before the library runs.
int configureServices(const Options &options) {
    std::string error;
    agent::setLogLevel(options.logLevel);
    if (!options.logFile.empty() && !agent::setLogFile(options.logFile, &error)) {
        return fail(error);
    }
    std::string password;
    if (!options.downloadPasswordFile.empty() &&
        !readPasswordFile(options.downloadPasswordFile, &password, &error)) {
        return fail(error);
    }
    agent::setCredentials(options.downloadUser, password);
    poweroff2MBBios = options.poweroff2MB ? 1 : 0;
    return -1;
}

int runWithLibrary(const Options &options, const agent::Subcommand &subcommand,
                   agent::CliContext &context) {
    agent::PlatformLibrary library;
    std::string error;
    std::string path = options.library.empty()
                           ? agent::defaultLibraryPath(IXO_INSTALL_LIBRARY_PATH, IXO_BUILD_LIBRARY_PATH)
                           : options.library;
    if (!agent::loadPlatformLibrary(path, &library, &error)) {
        return fail(error);
    }
    int status = attachDevice(options, library, &context.deviceRoot);
    if (status < 0 && options.testMode) {
        status = enterTestMode(library);
    }
    if (status < 0) {
        library.initCommands(agent::functionTable());
        context.library = &library;
        status = subcommand.run(context);
    }
    agent::unloadPlatformLibrary(&library);
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    int status = parseOptions(argc, argv, &options);
    if (status >= 0) {
        return status;
    }
    if (options.arguments.empty()) {
        printUsage(stderr);
        return 2;
    }
    const agent::Subcommand *subcommand = agent::findSubcommand(options.arguments[0]);
    if (subcommand == nullptr) {
        return fail("unknown command '" + options.arguments[0] + "' (see --help)");
    }
    agent::CliContext context;
    context.arguments.assign(options.arguments.begin() + 1, options.arguments.end());
    context.run = options.run;
    status = configureServices(options);
    if (status >= 0) {
        return status;
    }
    if (!subcommand->needsLibrary) {
        context.deviceRoot = options.deviceRoot;
        return subcommand->run(context);
    }
    return runWithLibrary(options, *subcommand, context);
}
