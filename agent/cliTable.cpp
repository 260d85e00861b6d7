#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "agent/cliCommands.h"

namespace agent {

const Subcommand subcommands[] = {
    {"sim-init", "sim-init [--nic rhine|velocity|realtek|jmicron] [--platform NAME] [DIR]",
     "build a simulated thin client in DIR (default: --device-root, else the\n"
     "per-user device); an existing one is refreshed and keeps its state.\n"
     "--nic puts in that network controller with its factory EEPROM (a new\n"
     "device gets a rhine); the one it has already keeps its EEPROM.\n"
     "--platform makes it that platform (Zinth, the default, Nevika-SST49LF160C,\n"
     "Korvel, Tavorin, Lirrane, NPZ): system tool answers, DMI and OEM strings,\n"
     "BIOS and the flash drive's partition layout; a refresh keeps the platform",
     false, simInitCommand},
    {"commands", "commands", "list the library's command table", true, listCommands},
    {"run", "run FILE.xml",
     "run one command file through the command table and print the result\n"
     "code, error class, message and response; the command is kept in the\n"
     "registry while it runs",
     true, runCommandFile},
    {"pending", "pending", "show the command and outcome kept across a reboot", true, showPending},
    {"resume", "resume",
     "after a reboot: report the kept outcome, or run the interrupted command\n"
     "again; then clear them",
     true, resumePending},
    {"settings", "settings get NAME | settings set NAME VALUE | settings lum NAME",
     "the agent's settings (\"IxoSettings\", \"lumsettings\")", true, settingsCommand},
    {"registry", "registry get FILE SECTION KEY | registry set FILE SECTION KEY VALUE",
     "any registry value, by device path (set runs the device's\n"
     "registry-change hook)",
     true, registryCommand},
    {"network", "network [SECTION...]",
     "print the network interfaces of the temporary registry as the agent\n"
     "reports them (all the library's sections by default; eth0 stands for\n"
     "Network-eth0), with the live link state of wired interfaces",
     true, networkCommand},
    {"eeprom", "eeprom show | dump | set-key HEX | set-serial TEXT | set-cmos FILE",
     "the asset values in the network controller's EEPROM: show them (and\n"
     "the checksums' state), dump the image, or write the security key, the\n"
     "serial number (up to 11 characters) or a 42-byte CMOS block (Realtek);\n"
     "a write first saves the image to a backup file (the simulated device's\n"
     "/var/lib/ixo, on the real device the current directory) and reads the\n"
     "value back",
     true, eepromCommand},
    {"inventory", "inventory [--xml]",
     "collect the device's inventory as the agent reports it (platform, BIOS,\n"
     "memory, processor, serial number and security key, interfaces, drives,\n"
     "platform type, TPM, brand and OEM checks) and print a summary, or with\n"
     "--xml the inventory document; what cannot be read is shown unavailable",
     true, inventoryCommand},
    {nullptr, nullptr, nullptr, false, nullptr},
};

const Subcommand *findSubcommand(const std::string &name) {
    for (const Subcommand *row = subcommands; row->name != nullptr; ++row) {
        if (name == row->name) {
            return row;
        }
    }
    return nullptr;
}

int cliFailure(const std::string &text) {
    std::fprintf(stderr, "ixoAgent: %s\n", text.c_str());
    return 2;
}

int cliUsage(const Subcommand &subcommand) {
    return cliFailure(std::string("usage: ixoAgent ") + subcommand.usage);
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
