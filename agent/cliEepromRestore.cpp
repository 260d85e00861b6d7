// "eeprom restore BACKUP": writes a backup image back, whole, and reads the
// EEPROM back to compare every word. The image must be whole and come from
// the family of the device's controller: the info file beside it says which
// (an older backup without one names it with --family).
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "agent/argumentFile.h"
#include "agent/eepromBackup.h"
#include "agent/eepromLayer.h"
#include "agent/eepromWrites.h"

namespace agent {

namespace {

// Anything larger is no image; the size is checked exactly below.
constexpr size_t kMaxBackupSize = 4096;

// The names the library's families go by (ixoEepromFamilies), for the
// command line, which is read before the library is loaded.
const std::vector<std::string> kFamilyNames = {"rhine", "velocity", "realtek", "jmicron"};

struct RestoreArguments {
    const CLI::App *command = nullptr;
    std::string backup;
    std::string family;  // --family
    WriteSafety safety;
    // Settled as the command line is read.
    std::vector<unsigned char> image;
    std::string imageFamily;
    bool hasInfo = false;
    BackupInfo info;
};

// Refuses, as the command line is read, an image that is not whole or whose
// family is not known; nothing has been touched then.
void settleBackup(RestoreArguments &arguments) {
    std::string content;
    std::string error;
    if (!readArgumentFile(arguments.backup, kMaxBackupSize, &content, &error)) {
        throw CLI::ValidationError(error);
    }
    if (content.size() != EEPROM_IMAGE_SIZE) {
        throw CLI::ValidationError(arguments.backup + " holds " + std::to_string(content.size()) +
                                   " bytes; an EEPROM image is " +
                                   std::to_string(EEPROM_IMAGE_SIZE));
    }
    arguments.image.assign(content.begin(), content.end());
    if (!readBackupInfo(arguments.backup, &arguments.hasInfo, &arguments.info, &error)) {
        throw CLI::ValidationError(error);
    }
    std::string infoPath = backupInfoPath(arguments.backup);
    std::string family = arguments.hasInfo ? arguments.info.family : arguments.family;
    if (family.empty()) {
        throw CLI::ValidationError(arguments.backup + " has no " + infoPath +
                                   " to say which controller family it was taken from: give it "
                                   "with --family");
    }
    if (arguments.hasInfo && !arguments.family.empty() && arguments.family != family) {
        throw CLI::ValidationError("--family", arguments.family + ", but " + infoPath +
                                                   " says the image is of a " + family);
    }
    if (std::find(kFamilyNames.begin(), kFamilyNames.end(), family) == kFamilyNames.end()) {
        throw CLI::ValidationError(infoPath + " names the family '" + family +
                                   "', which ixoAgent does not know");
    }
    arguments.imageFamily = family;
}

// Refused as the command line refuses its arguments: the backup's layout is
// the library's to tell, so this waits for the library; nothing has been
// touched yet.
int refuseBackup(const RestoreArguments &arguments, const std::string &reason) {
    std::string command = arguments.command->get_name();
    for (const CLI::App *parent = arguments.command->get_parent(); parent != nullptr;
         parent = parent->get_parent()) {
        command = parent->get_name() + " " + command;
    }
    return cliFailure(reason + " (see '" + command + " --help')");
}

// The family the backup was taken from, when the image fits its layout:
// the rest of a window image is the library's fill; anything else there is
// an image of another layout.
const IxoEepromFamily *backupFamily(const EepromLayer &layer, const RestoreArguments &arguments,
                                    int *refused) {
    const IxoEepromFamily *layout = familyNamed(layer, arguments.imageFamily);
    if (layout == nullptr) {
        *refused = refuseBackup(arguments, backupInfoPath(arguments.backup) +
                                               " names the family '" + arguments.imageFamily +
                                               "', which the library does not know");
        return nullptr;
    }
    for (int at = layout->deviceBytes; layout->deviceBytes > 0 && at < EEPROM_IMAGE_SIZE; ++at) {
        if (arguments.image[static_cast<size_t>(at)] != 0xFF) {
            *refused = refuseBackup(arguments, arguments.backup + " is no " + layout->name +
                                                   " image: its bytes " +
                                                   std::to_string(layout->deviceBytes) +
                                                   "-127 are not all 0xff");
            return nullptr;
        }
    }
    return layout;
}

int restoreImage(const CliContext &context, const EepromLayer &layer,
                 const RestoreArguments &arguments) {
    int refused = 0;
    const IxoEepromFamily *imageFamily = backupFamily(layer, arguments, &refused);
    if (imageFamily == nullptr) {
        return refused;
    }
    std::vector<unsigned char> record(sizeof(EepromAssetRecord), 0);
    if (!readValues(layer, record.data(), 0)) {
        return 1;
    }
    Controller controller = foundController(layer);
    const IxoEepromFamily *family = knownFamily(controller);
    if (family == nullptr) {
        return 1;
    }
    std::fflush(stdout);
    if (family->deviceBytes == 0) {
        return commandFailure("the " + controllerText(controller) + ": " +
                              family->notStoredReason + "; nothing restored");
    }
    if (family != imageFamily) {
        return commandFailure(arguments.backup + " holds an image of a " + imageFamily->name +
                              " controller; this device's is a " +
                              family->name + " (" + controllerText(controller) +
                              "); nothing restored");
    }
    unsigned char current[EEPROM_IMAGE_SIZE];
    std::memcpy(current, layer.image, sizeof current);
    const unsigned char *image = arguments.image.data();
    if (arguments.safety.dryRun) {
        printDryRun(*family, current, image);
        return 0;
    }
    if (takeBackup(context.deviceRoot, controller, current).empty()) {
        return 1;
    }
    if (arguments.hasInfo) {
        std::printf("restoring %s, taken %s from the %s at %s\n", arguments.backup.c_str(),
                    arguments.info.time.c_str(), arguments.info.controller.c_str(),
                    arguments.info.ioBase.c_str());
    } else {
        std::printf("restoring %s as a %s image\n", arguments.backup.c_str(), family->name);
    }
    bool written = layer.writeImage(image, EEPROM_IMAGE_SIZE) == 0;
    unsigned char readBack[EEPROM_IMAGE_SIZE];
    if (!readBackAfterWrite(layer, written, readBack)) {
        return 1;
    }
    bool verified = verifyWrite(*family, image, readBack);
    return written && verified ? 0 : 1;
}

}  // namespace

void defineEepromRestore(CommandLine &commandLine, CLI::App &eeprom) {
    auto arguments = std::make_shared<RestoreArguments>();
    CLI::App *command = commandLine.add(
        eeprom, "restore",
        "write a backup image back to the EEPROM\n"
        "whole, through the family's own word operations, then read it back\n"
        "and compare every word. BACKUP must be a 128-byte image taken from a\n"
        "controller of the device's family: its info file BACKUP.info says\n"
        "which; give --family for a backup without one. Realtek controllers\n"
        "refuse it: the library's operations never reach their EEPROM.",
        Needs::Library, [arguments](const CliContext &context) {
            return withEepromLayer(context, [&](const EepromLayer &layer) {
                return restoreImage(context, layer, *arguments);
            });
        });
    command->add_option("BACKUP", arguments->backup, "the backup image to write")
        ->required()
        ->type_name("");
    command
        ->add_option("--family", arguments->family,
                     "the controller family the image was taken from,\n"
                     "for a backup without its info file")
        ->type_name("FAMILY")
        ->check(CLI::IsMember(kFamilyNames));
    arguments->command = command;
    addWriteSafetyOptions(*command, arguments->safety);
    const CLI::App *root = &commandLine.root();
    command->final_callback([root, arguments] {
        requireConfirmation(*root, arguments->safety);
        settleBackup(*arguments);
    });
}

}  // namespace agent
