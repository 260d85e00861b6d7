// ixoAgent's global options and the services they configure.
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "agent/argumentFile.h"
#include "agent/cliSession.h"
#include "host/host.h"

namespace agent {

namespace {

// A password file holds one line; anything much larger is no password file.
constexpr size_t kMaxPasswordFileSize = 4096;

// Refuses a file argument while the command line is parsed, before anything
// runs.
CLI::Validator readableFile() {
    return CLI::Validator(
        [](std::string &path) {
            std::string content;
            std::string error;
            return readArgumentFile(path, kMaxPasswordFileSize, &content, &error) ? std::string()
                                                                                  : error;
        },
        "");
}

}  // namespace

void defineGlobalOptions(CommandLine &commandLine, GlobalOptions *options) {
    CLI::App &root = commandLine.root();
    root.add_flag("--version", options->version,
                  "print the versions of ixoAgent and of the\n"
                  "library it loads, and exit");
    root.add_option("--device-root", options->deviceRoot,
                    "the simulated device to work on (default:\n"
                    "$XDG_CACHE_HOME/ixoAgent/device, else\n"
                    "~/.cache/ixoAgent/device, built on first\n"
                    "use); it must have been made by sim-init")
        ->type_name("DIR");
    root.add_flag("--real-device", options->realDevice,
                  "work on this machine as the device: real\n"
                  "device programs, files and I/O ports. Only\n"
                  "on a thin client, as root");
    root.add_option("--library", options->library,
                    "load this libIxoPlatformOs instead of the one\n"
                    "beside the executable or the installed one")
        ->type_name("PATH");
    root.add_option("--log-file", options->logFile,
                    "append the log to FILE instead of standard\n"
                    "error")
        ->type_name("FILE");
    root.add_option("--log-level", options->logLevel,
                    "log messages up to level N: 1 errors, 2-3\n"
                    "progress, 4 trace (default 3; 0 to 9)")
        ->type_name("N")
        ->check(CLI::Range(0, 9).description(""));
    root.add_option("--download-user", options->downloadUser,
                    "user name for authenticated downloads")
        ->type_name("USER");
    root.add_option("--download-password-file", options->downloadPasswordFile,
                    "read the download password from FILE's\n"
                    "first line")
        ->type_name("FILE")
        ->check(readableFile());
    root.add_flag("--poweroff-2mb-bios", options->poweroff2MB,
                  "power the device off before each reboot\n"
                  "(2 MB BIOS devices)");
    root.add_flag("--reboot-after", options->run.rebootAfter,
                  "run/resume: the device reboots once the\n"
                  "command is done; its outcome is kept for\n"
                  "'resume'");
    root.add_flag("--test-mode", options->testMode,
                  "work on copies of the registries in\n"
                  "$HOME/.v6_test_dir, taken from system.conf\n"
                  "and dummy.control beside the executable");
}

int settleGlobalOptions(GlobalOptions *options) {
    if (options->realDevice && !options->deviceRoot.empty()) {
        return cliFailure("--real-device and --device-root exclude each other");
    }
    // Processes the library leaves behind (the agent upgrade's) run from "/":
    // the root must not depend on the current directory.
    if (!options->deviceRoot.empty() && options->deviceRoot[0] != '/') {
        char *current = getcwd(nullptr, 0);
        if (current == nullptr) {
            return cliFailure(std::string("cannot tell the current directory: ") +
                              std::strerror(errno));
        }
        options->deviceRoot = std::string(current) + "/" + options->deviceRoot;
        std::free(current);
    }
    return -1;
}

int configureServices(const GlobalOptions &options) {
    std::string error;
    agent::setLogLevel(options.logLevel);
    if (!options.logFile.empty() && !agent::setLogFile(options.logFile, &error)) {
        return cliFailure(error);
    }
    std::string password;
    if (!options.downloadPasswordFile.empty()) {
        std::string content;
        if (!readArgumentFile(options.downloadPasswordFile, kMaxPasswordFileSize, &content,
                              &error)) {
            return cliFailure(error);
        }
        password = content.substr(0, content.find('\n'));
    }
    agent::setCredentials(options.downloadUser, password);
    poweroff2MBBios = options.poweroff2MB ? 1 : 0;
    return -1;
}

}  // namespace agent
