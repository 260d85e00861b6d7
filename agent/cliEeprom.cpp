// "eeprom": the asset values in the network controller's EEPROM, shown,
// dumped and written through the library's EEPROM layer. A write shows what
// it would change (--dry-run), keeps a backup of the image read just before
// it, and compares what the EEPROM holds afterwards with what was written.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "agent/argumentFile.h"
#include "agent/cliCommands.h"
#include "agent/eepromLayer.h"
#include "agent/eepromValues.h"
#include "agent/eepromWrites.h"
#include "agent/jsonOutput.h"
#include "agent/jsonStdout.h"

namespace agent {

namespace {

struct Record {
    Record() { std::memset(bytes, 0, sizeof bytes); }
    EepromAssetRecord bytes;
};

struct WriteRequest {
    unsigned char bit = 0;
    std::vector<unsigned char> value;  // the bytes the write takes
    const char *what = "";
};

bool parseKey(const std::string &text, WriteRequest *request) {
    std::string digits = text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0
                             ? text.substr(2)
                             : text;
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    uint32_t key = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    request->bit = ASSET_SECURITY_KEY;
    request->value = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                      static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    request->what = "security key";
    return true;
}

bool parseSerial(const std::string &text, WriteRequest *request) {
    if (text.empty() || text.size() > ASSET_SERIAL_NUMBER_BYTES) {
        return false;
    }
    for (unsigned char character : text) {
        if (character < 0x20 || character > 0x7e) {
            return false;
        }
    }
    request->bit = ASSET_SERIAL_NUMBER;
    request->value.assign(text.begin(), text.end());
    request->value.resize(ASSET_SERIAL_NUMBER_BYTES, 0);
    request->what = "serial number";
    return true;
}

bool loadCmos(const std::string &path, WriteRequest *request, std::string *error) {
    std::string bytes;
    if (!readArgumentFile(path, ASSET_CMOS_VALUE_BYTES, &bytes, error)) {
        return false;
    }
    if (bytes.size() != ASSET_CMOS_VALUE_BYTES) {
        *error = path + " holds " + std::to_string(bytes.size()) + " bytes; a CMOS block is " +
                 std::to_string(ASSET_CMOS_VALUE_BYTES);
        return false;
    }
    request->bit = ASSET_CMOS_VALUE;
    request->value.assign(bytes.begin(), bytes.end());
    request->what = "CMOS block";
    return true;
}

// The value as the EEPROM holds it, at its place in an image.
std::string heldText(const WriteRequest &request, const unsigned char *held) {
    if (request.bit == ASSET_SECURITY_KEY) {
        return keyText(held);
    }
    if (request.bit == ASSET_SERIAL_NUMBER) {
        return "\"" + serialText(held) + "\"";
    }
    return hexBytes(held, 8, " ") + " ...";
}

int writeValue(const CliContext &context, const EepromLayer &layer, const WriteRequest &request,
               const WriteSafety &safety) {
    Record before;
    if (!readValues(layer, before.bytes, 0)) {
        return 1;
    }
    Controller controller = foundController(layer);
    const IxoEepromFamily *family = knownFamily(controller);
    if (family == nullptr) {
        return 1;
    }
    // Refused before any backup: the library would "write" it to an image
    // that never reaches the device, or leave it out.
    const IxoEepromPlace &place = placeOf(*family, request.bit);
    int offset = place.writeOffset;
    if (!storesValue(family, request.bit) || offset < 0) {
        std::fflush(stdout);
        return commandFailure(std::string(request.what) + ": " + kNotStored + " (the " +
                              controllerText(controller) + "; " + family->notStoredReason +
                              "); nothing written");
    }
    unsigned char current[EEPROM_IMAGE_SIZE];
    std::memcpy(current, layer.image, sizeof current);
    unsigned char expected[EEPROM_IMAGE_SIZE];
    std::memcpy(expected, current, sizeof expected);
    mergeValue(*family, request.bit, request.value, expected);
    if (safety.dryRun) {
        printDryRun(*family, current, expected);
        return 0;
    }
    if (takeBackup(context.deviceRoot, controller, current).empty()) {
        return 1;
    }

    Record record;
    record.bytes[0] = request.bit;
    std::memcpy(record.bytes + EEPROM_ASSET_SLOT(place.slot), request.value.data(),
                request.value.size());
    bool written = layer.write(record.bytes) == 0;
    unsigned char readBack[EEPROM_IMAGE_SIZE];
    if (!readBackAfterWrite(layer, written, readBack)) {
        return 1;
    }
    bool took = std::memcmp(readBack + offset, expected + offset, request.value.size()) == 0;
    std::printf("%s: %s (read back %s)\n", request.what, took ? "took" : "did not take",
                heldText(request, readBack + offset).c_str());
    std::printf("%s\n", checksumsText(*family, readBack).c_str());
    bool verified = verifyWrite(*family, expected, readBack);
    return written && took && verified ? 0 : 1;
}

void printController(const Controller &controller) {
    std::printf("controller: %s\n", controllerText(controller).c_str());
    if (controller.family != nullptr && controller.family->storedBits == 0) {
        std::printf("note: %s: no value is stored by this controller\n",
                    controller.family->notStoredReason);
    }
}

bool printValuesJson(JsonStdout &out, const Controller &controller,
                     const std::vector<EepromValue> &values) {
    std::string error;
    if (!out.print(nlohmann::ordered_json{{"controller", controllerJson(controller)},
                                          {"values", eepromValuesJson(values)}},
                   &error)) {
        std::fprintf(stderr, "ixoAgent: %s\n", error.c_str());
        return false;
    }
    return true;
}

int showValues(const EepromLayer &layer, bool json) {
    // The layer announces the controller it finds on standard output.
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(json, &out); status != -1) {
        return status;
    }
    Record record;
    unsigned char mask = ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY | ASSET_HARDWARE_REVISION |
                         ASSET_MAC_ADDRESS | ASSET_ACTIVE_CHECKSUM | ASSET_FULL_CHECKSUM;
    if (!readValues(layer, record.bytes, mask)) {
        return 1;
    }
    Controller controller = foundController(layer);
    const IxoEepromFamily *family = knownFamily(controller);
    if (family == nullptr) {
        return 1;
    }
    std::vector<EepromValue> values = eepromValues(*family, record.bytes, layer.image);
    if (out) {
        return printValuesJson(*out, controller, values) ? 0 : 1;
    }
    printController(controller);
    for (const EepromValue &value : values) {
        printEepromValue(value);
    }
    return 0;
}

int dumpImage(const EepromLayer &layer) {
    Record record;
    if (!readValues(layer, record.bytes, 0)) {
        return 1;
    }
    printController(foundController(layer));
    layer.dump(layer.image);
    return 0;
}

// A value check for the command line: false with the reason when text
// makes no request. Refused values stop the command before anything runs.
using RequestParser = bool (*)(const std::string &text, WriteRequest *request, std::string *error);

bool keyRequest(const std::string &text, WriteRequest *request, std::string *error) {
    if (!parseKey(text, request)) {
        *error = "a security key is 1 to 8 hexadecimal digits, not '" + text + "'";
        return false;
    }
    return true;
}

bool serialRequest(const std::string &text, WriteRequest *request, std::string *error) {
    if (!parseSerial(text, request)) {
        *error = "a serial number is 1 to 11 printable ASCII characters, not '" + text + "'";
        return false;
    }
    return true;
}

CLI::Validator requestCheck(RequestParser parse) {
    return CLI::Validator(
        [parse](std::string &text) {
            WriteRequest request;
            std::string error;
            return parse(text, &request, &error) ? std::string() : error;
        },
        "");
}

struct SetArguments {
    std::string value;
    WriteSafety safety;
};

// set-key, set-serial, set-cmos: one value, checked as it is parsed.
void defineSetter(CommandLine &commandLine, CLI::App &eeprom, const char *name,
                  const char *description, const char *valueName, RequestParser parse) {
    auto arguments = std::make_shared<SetArguments>();
    CLI::App *command = commandLine.add(
        eeprom, name, description, Needs::Library, [arguments, parse](const CliContext &context) {
            WriteRequest request;
            std::string error;
            if (!parse(arguments->value, &request, &error)) {
                return cliFailure(error);
            }
            return withEepromLayer(context, [&](const EepromLayer &layer) {
                return writeValue(context, layer, request, arguments->safety);
            });
        });
    command->add_option(valueName, arguments->value, "the value to write")
        ->required()
        ->type_name("")
        ->check(requestCheck(parse));
    addWriteSafetyOptions(*command, arguments->safety);
    const CLI::App *root = &commandLine.root();
    command->final_callback([root, arguments] { requireConfirmation(*root, arguments->safety); });
}

}  // namespace

void defineEeprom(CommandLine &commandLine) {
    CLI::App *eeprom = commandLine.addGroup(
        commandLine.root(), "eeprom",
        "show or write the EEPROM's asset values\n"
        "those of the network controller's EEPROM: show them (and the\n"
        "checksums' state), dump the image, write the security key, the\n"
        "serial number or a CMOS block, or restore a backup. Values the\n"
        "controller family does not store are shown as such and not written.\n"
        "A write first saves the image to a backup file with an info file\n"
        "beside it (the simulated device's /var/lib/ixo, on the real device\n"
        "the current directory), then reads the EEPROM back and compares.\n"
        "--dry-run shows the words a write would change; with --real-device\n"
        "a write needs --yes.");
    auto asJson = std::make_shared<bool>(false);
    CLI::App *show = commandLine.add(
        *eeprom, "show",
        "print the asset values\n"
        "the controller, the station address, serial number, security key,\n"
        "hardware revision and the state of both checksums; a value the\n"
        "controller family does not store reads \"not stored by this\n"
        "controller\" (in JSON null, with \"stored\": false)",
        Needs::Library, [asJson](const CliContext &context) {
            return withEepromLayer(context, [asJson](const EepromLayer &layer) {
                return showValues(layer, *asJson);
            });
        });
    show->add_flag("--json", *asJson, "print them as a JSON document instead");
    commandLine.add(*eeprom, "dump", "print the EEPROM image", Needs::Library,
                    [](const CliContext &context) { return withEepromLayer(context, dumpImage); });
    defineSetter(commandLine, *eeprom, "set-key", "write the security key (1 to 8 hex digits, either case, optional 0x)",
                 "HEX", keyRequest);
    defineSetter(commandLine, *eeprom, "set-serial",
                 "write the serial number (up to 11 printable characters)", "TEXT",
                 serialRequest);
    defineSetter(commandLine, *eeprom, "set-cmos",
                 "write a 42-byte CMOS block read from FILE (a Realtek value)", "FILE",
                 loadCmos);
    defineEepromRestore(commandLine, *eeprom);
}

}  // namespace agent
