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

#include "agent/ixoagent.h"
#include "agent/platformLibrary.h"
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
    "                       the result code, error class, message and response\n"
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
    std::vector<std::string> arguments;
};

int fail(const std::string &text) {
    std::fprintf(stderr, "ixoAgent: %s\n", text.c_str());
    return 2;
}

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
    sim::setRoot(root);
    return -1;
}

int listCommands(const agent::PlatformLibrary &library) {
    for (const PlatformCommandHandler *entry = library.commandHandlers();
         entry->handler != nullptr && entry->name[0] != '\0'; ++entry) {
        std::printf("%s\n", entry->name);
    }
    return 0;
}

void printText(const char *label, const char *text) {
    std::printf("%s: %s\n", label, text != nullptr ? text : "(none)");
}

int runCommandFile(const agent::PlatformLibrary &library, const std::string &file) {
    std::string error;
    agent::CommandPtr command = agent::loadCommandFile(file, &error);
    if (!command) {
        return fail(error);
    }
    const PlatformCommandHandler *entry =
        agent::findCommandHandler(library.commandHandlers(), command->name);
    if (entry == nullptr) {
        return fail(file + ":" + std::to_string(command->line) + ": unknown command '" +
                    command->name + "' (see 'ixoAgent commands')");
    }
    IxoCharBuffer *response = nullptr;
    char *errorClass = nullptr;
    char *message = nullptr;
    int result = entry->handler(command.get(), &response, &errorClass, &message);
    agent::CharBufferPtr responseOwner(response);
    std::printf("command: %s\n", entry->name);
    std::printf("result: %d\n", result);
    printText("errorClass", errorClass);
    printText("message", message);
    if (response != nullptr) {
        std::printf("response:\n%s\n", agent::charBufferString(response).c_str());
    } else {
        printText("response", nullptr);
    }
    std::free(errorClass);
    std::free(message);
    return result == 0 ? 0 : 1;
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
    if (verb != "commands" && verb != "run") {
        return fail("unknown command '" + verb + "' (see --help)");
    }
    if ((verb == "run") != (options.arguments.size() == 2) || options.arguments.size() > 2) {
        return fail(verb == "run" ? "run takes one command file" : "commands takes no arguments");
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
    if (status < 0) {
        library.initCommands(agent::functionTable());
        status = verb == "commands" ? listCommands(library)
                                    : runCommandFile(library, options.arguments[1]);
    }
    unloadPlatformLibrary(&library);
    return status;
}
