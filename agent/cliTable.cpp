// The subcommands in the order --help lists them, and what they share.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/cliCommands.h"

namespace agent {

void defineSubcommands(CommandLine &commandLine) {
    defineSimInit(commandLine);
    defineCommandRuns(commandLine);
    defineSettings(commandLine);
    defineNetwork(commandLine);
    defineEeprom(commandLine);
    defineInventory(commandLine);
}

int cliFailure(const std::string &text) {
    std::fprintf(stderr, "ixoAgent: %s\n", text.c_str());
    return 2;
}

int commandFailure(const std::string &text) {
    std::fprintf(stderr, "ixoAgent: %s\n", text.c_str());
    return 1;
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

}  // namespace agent
