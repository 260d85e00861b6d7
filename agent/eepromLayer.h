// The library's EEPROM layer as the eeprom commands use it, looked up in the
// loaded library, and the controller its last scan found.
#pragma once

#include <functional>
#include <string>

#include "agent/cliCommands.h"
#include "ixo/eeprom.h"

namespace CLI {
class App;
}

namespace agent {

struct EepromLayer {
    const PlatformLibrary *library = nullptr;
    decltype(&readEepromAssetValues) read = nullptr;
    decltype(&writeEepromAssetValues) write = nullptr;
    decltype(&ixoReadEepromImage) readImage = nullptr;
    decltype(&ixoWriteEepromImage) writeImage = nullptr;
    decltype(&dumpEEPROM) dump = nullptr;
    unsigned char *image = nullptr;  // the library's eeprom_contents
};

struct Controller {
    const IxoEepromFamily *family = nullptr;  // null: none the library knows
    std::string name;                       // "ViaRhine (VIA Technologies)"
    unsigned short ioBase = 0;
};

// The controller the last transfer's scan chose.
Controller foundController(const EepromLayer &layer);
// The library's family of that name; null for none.
const IxoEepromFamily *familyNamed(const EepromLayer &layer, const std::string &name);
// "ViaRhine (VIA Technologies) at 0xe400"
std::string controllerText(const Controller &controller);

// A read transfer of the bits in mask into record, which also leaves the
// whole image in layer.image; false (with a line on standard error) when it
// failed.
bool readValues(const EepromLayer &layer, unsigned char *record, unsigned char mask);

// The controller of a transfer just made, when its family is known;
// otherwise null, with a line on standard error.
const IxoEepromFamily *knownFamily(const Controller &controller);

// Runs work(layer) with the library's EEPROM layer; exit status 2 when the
// library lacks an entry point of it.
int withEepromLayer(const CliContext &context,
                    const std::function<int(const EepromLayer &layer)> &work);

// The restore subcommand of "eeprom".
void defineEepromRestore(CommandLine &commandLine, CLI::App &eeprom);

}  // namespace agent
