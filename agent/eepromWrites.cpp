#include "agent/eepromWrites.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "agent/cliCommands.h"
#include "agent/eepromBackup.h"
#include "agent/eepromValues.h"

namespace agent {

void addWriteSafetyOptions(CLI::App &command, WriteSafety &safety) {
    command.add_flag("--dry-run", safety.dryRun,
                     "print the words the write would change and the\n"
                     "checksums it would leave; write nothing, take\n"
                     "no backup");
    command.add_flag("--yes", safety.yes,
                     "confirm a write to this machine's EEPROM\n"
                     "(needed with --real-device)");
}

void requireConfirmation(const CLI::App &root, const WriteSafety &safety) {
    const CLI::Option *realDevice = root.get_option_no_throw("--real-device");
    if (realDevice == nullptr || realDevice->count() == 0 || !realDevice->as<bool>() ||
        safety.yes || safety.dryRun) {
        return;
    }
    throw CLI::ValidationError("--yes",
                               "writing the EEPROM of this machine's network controller "
                               "(--real-device) needs --yes; nothing was touched (--dry-run "
                               "shows what the write would change)");
}

void printDryRun(const IxoEepromFamily &family, const unsigned char *from,
                 const unsigned char *to) {
    std::vector<UnitChange> changes = changedUnits(family, from, to);
    std::printf("dry run: %zu %s%s would change; nothing is written\n", changes.size(),
                unitName(family), changes.size() == 1 ? "" : "s");
    for (const UnitChange &change : changes) {
        std::printf("  %s 0x%02x: %s -> %s\n", unitName(family), change.address,
                    unitText(family, change.from).c_str(), unitText(family, change.to).c_str());
    }
    std::printf("after the write, %s\n", checksumsText(family, to).c_str());
}

std::string takeBackup(const std::string &deviceRoot, const Controller &controller,
                       const unsigned char *image) {
    BackupInfo info;
    info.family = controller.family != nullptr ? controller.family->name : "";
    info.controller = controller.name;
    char base[16];
    std::snprintf(base, sizeof base, "%#x", controller.ioBase);
    info.ioBase = base;
    std::string error;
    std::string directory = backupDirectory(deviceRoot, &error);
    std::string path =
        directory.empty() ? "" : saveBackup(directory, image, EEPROM_IMAGE_SIZE, &info, &error);
    if (path.empty()) {
        std::fflush(stdout);
        commandFailure(error + "; nothing written");
        return "";
    }
    std::printf("backup of the EEPROM image: %s\n", path.c_str());
    return path;
}

bool readBackAfterWrite(const EepromLayer &layer, bool written, unsigned char *readBack) {
    if (!written) {
        std::fflush(stdout);
        std::fprintf(stderr, "ixoAgent: the write did not complete (see the messages above and "
                             "the log)\n");
    }
    if (layer.readImage(readBack, EEPROM_IMAGE_SIZE) != 0) {
        std::fflush(stdout);
        commandFailure("cannot read the EEPROM back after the write (see the log)");
        return false;
    }
    return true;
}

bool verifyWrite(const IxoEepromFamily &family, const unsigned char *written,
                 const unsigned char *readBack) {
    std::vector<UnitChange> differences = changedUnits(family, written, readBack);
    for (const UnitChange &difference : differences) {
        std::printf("  %s 0x%02x: wrote %s, read back %s\n", unitName(family), difference.address,
                    unitText(family, difference.from).c_str(),
                    unitText(family, difference.to).c_str());
    }
    int units = family.deviceBytes / family.unitBytes;
    if (differences.empty()) {
        std::printf("read back: all %d %ss as written\n", units, unitName(family));
    } else {
        std::printf("read back: %zu of %d %ss differ from what was written\n", differences.size(),
                    units, unitName(family));
    }
    return differences.empty();
}

}  // namespace agent
