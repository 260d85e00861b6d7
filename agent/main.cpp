// ixoAgent: the development agent. It loads libIxoPlatformOs as the device's
// agent does, provides the agent services from its own code, and runs
// management command files through the library's command table, on a
// simulated thin client unless --real-device is given.
#include <sys/stat.h>
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
#include "sim/sim.h"

namespace {

const char usageText[] =
    "usage: ixoAgent [options] COMMAND [ARGUMENTS]\n"
    "\n"
    "Runs management commands through libIxoPlatformOs, on a simulated thin client\n"
    "unless --real-device is given.\n"
    "\n"
    "Commands:\n"
    "  sim-init [DIR]       build a simulated thin client in DIR (default: the\n"
    "                       per-user device, or --device-root); an existing one is\n"
    "                       refreshed and keeps its registries and logs\n"
    "  commands             list the library's command table\n"
    "  run FILE.xml         run one command file through the command table and print\n"
    "                       the result code, error class, message and response; the\n"
    "                       command is kept in the registry while it runs\n"
    "  pending              show the command and outcome kept across a reboot\n"
    "  resume               after a reboot: report the kept outcome, or run the\n"
    "                       interrupted command again; then clear them\n"
    "  settings get NAME | settings set NAME VALUE | settings lum NAME\n"
    "                       the agent's settings (\"IxoSettings\", \"lumsettings\")\n"
    "  registry get FILE SECTION KEY | registry set FILE SECTION KEY VALUE\n"
    "                       any registry value, by device path (set runs the\n"
    "                       device's registry-change hook)\n"
    "\n"
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

// Returns -1 when parsing succeeded, else the exit status.
int parseOptions(int argc, char **argv, Options *options) {
    for (int index = 1; index < argc; ++index) {
        std::string word = argv[index];
        auto value = [&](std::string *target) {
            if (index + 1 >= argc) {
                return false;
            }
            *target = argv[++index];
            return true;
        };
        if (word == "--help" || word == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        } else if (word == "--real-device") {
            options->realDevice = true;
        } else if (word == "--poweroff-2mb-bios") {
            options->poweroff2MB = true;
        } else if (word == "--reboot-after") {
            options->run.rebootAfter = true;
        } else if (word == "--test-mode") {
            options->testMode = true;
        } else if (word == "--device-root" || word == "--library" || word == "--log-file" ||
                   word == "--download-user" || word == "--download-password-file" ||
                   word == "--log-level") {
            std::string text;
            if (!value(&text)) {
                return fail(word + " needs a value (see --help)");
            }
            if (word == "--device-root") {
                options->deviceRoot = text;
            } else if (word == "--library") {
                options->library = text;
            } else if (word == "--log-file") {
                options->logFile = text;
            } else if (word == "--download-user") {
                options->downloadUser = text;
            } else if (word == "--download-password-file") {
                options->downloadPasswordFile = text;
            } else if (!parseLevel(text, &options->logLevel)) {
                return fail("--log-level takes a number from 0 to 9, not '" + text + "'");
            }
        } else if (word.size() > 1 && word[0] == '-' && options->arguments.empty()) {
            return fail("unknown option '" + word + "' (see --help)");
        } else {
            options->arguments.push_back(word);
        }
    }
    if (options->realDevice && !options->deviceRoot.empty()) {
        return fail("--real-device and --device-root exclude each other");
    }
    return -1;
}

std::string defaultDeviceRoot() {
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/ixoAgent/device";
    }
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") +
           "/.cache/ixoAgent/device";
}

bool makeParents(const std::string &path, std::string *error) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int simInit(const Options &options) {
    std::string dir = options.arguments.size() > 1 ? options.arguments[1]
                      : options.deviceRoot.empty() ? defaultDeviceRoot()
                                                   : options.deviceRoot;
    std::string error;
    if (!makeParents(dir, &error) || !sim::buildDevice(dir, &error)) {
        return fail("cannot build a simulated device in " + dir + ": " + error);
    }
    std::printf("simulated thin client ready in %s\n", dir.c_str());
    return 0;
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
int attachDevice(const Options &options, agent::PlatformLibrary &library) {
    if (options.realDevice) {
        return -1;
    }
    bool chosen = !options.deviceRoot.empty();
    std::string root = chosen ? options.deviceRoot : defaultDeviceRoot();
    std::string error;
    if (!sim::isDevice(root)) {
        if (chosen) {
            return fail(root + " is no simulated device; make one with 'ixoAgent sim-init " + root +
                        "'");
        }
        if (!makeParents(root, &error) || !sim::buildDevice(root, &error)) {
            return fail("cannot build the simulated device in " + root + ": " + error);
        }
        std::fprintf(stderr, "ixoAgent: built a simulated thin client in %s\n", root.c_str());
    }
    library.setDeviceRoot(root.c_str());
    library.setCommandRunner(sim::chrootRunner);
    library.setPortIo(sim::portBus());
    agent::setDeviceRoot(root);
    agent::setHookRunner(sim::chrootRunner);
    sim::setRoot(root);
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

int dispatch(const Options &options, const agent::PlatformLibrary &library) {
    const std::string &verb = options.arguments[0];
    if (verb == "commands") {
        return agent::listCommands(library);
    }
    if (verb == "run") {
        return agent::runCommandFile(library, options.arguments[1], options.run);
    }
    if (verb == "pending") {
        return agent::showPending(library);
    }
    if (verb == "resume") {
        return agent::resumePending(library, options.run);
    }
    if (verb == "settings") {
        return agent::settingsCommand(library, options.arguments);
    }
    return agent::registryCommand(library, options.arguments);
}

}  // namespace

int main(int argc, char **argv) {
    Options options;
    int status = parseOptions(argc, argv, &options);
    if (status >= 0) {
        return status;
    }
    if (options.arguments.empty()) {
        std::fputs(usageText, stderr);
        return 2;
    }
    const std::string &verb = options.arguments[0];
    if (verb == "sim-init") {
        return options.arguments.size() > 2 ? fail("sim-init takes at most one directory")
                                             : simInit(options);
    }
    bool fixedArguments = verb == "commands" || verb == "pending" || verb == "resume";
    if (!fixedArguments && verb != "run" && verb != "settings" && verb != "registry") {
        return fail("unknown command '" + verb + "' (see --help)");
    }
    if (fixedArguments && options.arguments.size() != 1) {
        return fail(verb + " takes no arguments");
    }
    if (verb == "run" && options.arguments.size() != 2) {
        return fail("run takes one command file");
    }

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

    agent::PlatformLibrary library;
    std::string path = options.library.empty()
                           ? agent::defaultLibraryPath(IXO_INSTALL_LIBRARY_PATH, IXO_BUILD_LIBRARY_PATH)
                           : options.library;
    if (!agent::loadPlatformLibrary(path, &library, &error)) {
        return fail(error);
    }
    status = attachDevice(options, library);
    if (status < 0 && options.testMode) {
        status = enterTestMode(library);
    }
    if (status < 0) {
        library.initCommands(agent::functionTable());
        status = dispatch(options, library);
    }
    unloadPlatformLibrary(&library);
    return status;
}
