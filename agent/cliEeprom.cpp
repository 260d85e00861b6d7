// "eeprom": the asset values in the network controller's EEPROM, shown,
// dumped and written through the library's EEPROM layer. Writes keep a
// backup of the image read just before and read the values back after.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "agent/argumentFile.h"
#include "agent/cliCommands.h"
#include "agent/ixoagent.h"
#include "ixo/eeprom.h"

namespace agent {

namespace {

constexpr int kSerialBytes = 11;
constexpr int kCmosBytes = 42;
constexpr int kCmosImageOffset = 62;

// The library's EEPROM layer, looked up in the loaded library.
struct EepromLayer {
    decltype(&readEepromAssetValues) read = nullptr;
    decltype(&writeEepromAssetValues) write = nullptr;
    decltype(&dumpEEPROM) dump = nullptr;
    decltype(&calculateByteCheckSum) byteSum = nullptr;
    decltype(&calculateWordCheckSum) wordSum = nullptr;
    unsigned char *image = nullptr;
    pcidev_row *table = nullptr;
    // The families' write operations tell which family a table row is.
    EepromWriteOperation rhineWrite = nullptr;
    EepromWriteOperation velocityWrite = nullptr;
    EepromWriteOperation realtekWrite = nullptr;
    EepromWriteOperation jmicronWrite = nullptr;
};

bool loadLayer(const PlatformLibrary &library, EepromLayer *layer, std::string *missing) {
    return resolveEntry(library, "readEepromAssetValues", &layer->read, missing) &&
           resolveEntry(library, "writeEepromAssetValues", &layer->write, missing) &&
           resolveEntry(library, "dumpEEPROM", &layer->dump, missing) &&
           resolveEntry(library, "calculateByteCheckSum", &layer->byteSum, missing) &&
           resolveEntry(library, "calculateWordCheckSum", &layer->wordSum, missing) &&
           resolveEntry(library, "eeprom_contents", &layer->image, missing) &&
           resolveEntry(library, "pcidev_tbl", &layer->table, missing) &&
           resolveEntry(library, "writeViaEeprom", &layer->rhineWrite, missing) &&
           resolveEntry(library, "writeViaEepromVelocity", &layer->velocityWrite, missing) &&
           resolveEntry(library, "writeRtlEeprom", &layer->realtekWrite, missing) &&
           resolveEntry(library, "writeJmicronEeprom", &layer->jmicronWrite, missing);
}

enum class Family { Unknown, Rhine, Velocity, Realtek, Jmicron };

struct Controller {
    Family family = Family::Unknown;
    std::string name;
    unsigned short ioBase = 0;
};

// The row the last transfer's scan chose: the only one with an I/O base.
Controller foundController(const EepromLayer &layer) {
    Controller controller;
    for (const pcidev_row *row = layer.table; row->vendor_id != 0; ++row) {
        if (row->io_addr == 0) {
            continue;
        }
        controller.name = std::string(row->short_name) + " (" + row->long_name + ")";
        controller.ioBase = row->io_addr;
        controller.family = row->write_eeprom == layer.rhineWrite      ? Family::Rhine
                            : row->write_eeprom == layer.velocityWrite ? Family::Velocity
                            : row->write_eeprom == layer.realtekWrite  ? Family::Realtek
                            : row->write_eeprom == layer.jmicronWrite  ? Family::Jmicron
                                                                       : Family::Unknown;
        break;
    }
    return controller;
}

bool isVia(Family family) { return family == Family::Rhine || family == Family::Velocity; }

// The request bits each family serves.
unsigned char servedBits(Family family) {
    switch (family) {
    case Family::Rhine:
    case Family::Velocity:
        return 0x3F;
    case Family::Realtek:
        return 0x7F;
    case Family::Jmicron:
        return ASSET_SECURITY_KEY;
    case Family::Unknown:
        break;
    }
    return 0;
}

struct Record {
    Record() { std::memset(bytes, 0, sizeof bytes); }
    unsigned char *slot(int index) { return bytes + EEPROM_ASSET_SLOT(index); }
    EepromAssetRecord bytes;
};

std::string hexBytes(const unsigned char *bytes, int count, const char *separator) {
    std::string text;
    char part[4];
    for (int at = 0; at < count; ++at) {
        std::snprintf(part, sizeof part, "%02x", bytes[at]);
        text += (at > 0 ? separator : "") + std::string(part);
    }
    return text;
}

// The serial number's characters up to the first NUL; others escaped.
std::string serialText(const unsigned char *bytes) {
    std::string text;
    for (int at = 0; at < kSerialBytes && bytes[at] != 0; ++at) {
        if (std::isprint(bytes[at]) != 0 && bytes[at] != '\\') {
            text += static_cast<char>(bytes[at]);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", bytes[at]);
            text += escaped;
        }
    }
    return text;
}

// Four bytes, also as text when they are all printable.
std::string revisionText(const unsigned char *bytes) {
    std::string hex = hexBytes(bytes, 4, " ");
    for (int at = 0; at < 4; ++at) {
        if (bytes[at] < 0x20 || bytes[at] > 0x7e) {
            return hex;
        }
    }
    return std::string(reinterpret_cast<const char *>(bytes), 4) + " (" + hex + ")";
}

uint32_t keyValue(const unsigned char *bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

std::string keyText(const unsigned char *bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned int>(keyValue(bytes)));
    return text;
}

uint16_t sumOfWords(const EepromLayer &layer, int first, int last) {
    unsigned short words[EEPROM_IMAGE_SIZE / 2];
    int count = 0;
    for (int word = first; word <= last; ++word) {
        words[count++] =
            static_cast<unsigned short>(layer.image[2 * word] | layer.image[2 * word + 1] << 8);
    }
    return layer.wordSum(words, static_cast<unsigned short>(count));
}

// Whether the image just read holds valid checksums: VIA bytes 0-31 and all
// 64 words sum to 0; Realtek words 0-25, and words 31-61 with word 63.
void checksumValidity(const EepromLayer &layer, Family family, bool *active, bool *full) {
    if (isVia(family)) {
        *active = layer.byteSum(layer.image, 32) == 0;
        *full = sumOfWords(layer, 0, 63) == 0;
    } else {
        *active = sumOfWords(layer, 0, 25) == 0;
        *full = static_cast<uint16_t>(sumOfWords(layer, 31, 61) + sumOfWords(layer, 63, 63)) == 0;
    }
}

const char *validWord(bool valid) { return valid ? "valid" : "invalid"; }

// A read transfer; false (with a line on standard error) when it failed.
bool readValues(const EepromLayer &layer, Record *record, unsigned char mask) {
    record->bytes[0] = mask;
    if (layer.read(record->bytes) != 0) {
        std::fprintf(stderr, "ixoAgent: cannot read the network controller's EEPROM "
                             "(see the messages above and the log)\n");
        return false;
    }
    return true;
}

void printValues(const EepromLayer &layer, const Controller &controller, Record &record) {
    unsigned char served = servedBits(controller.family);
    const char *notKept = "(not kept by this controller)";
    std::printf("station address: %s\n", (served & ASSET_MAC_ADDRESS) != 0
                                             ? hexBytes(record.slot(2), 6, ":").c_str()
                                             : notKept);
    std::printf("serial number: %s\n",
                (served & ASSET_SERIAL_NUMBER) != 0 ? serialText(record.slot(0)).c_str() : notKept);
    std::printf("security key: %s\n", keyText(record.slot(1)).c_str());
    std::printf("hardware revision: %s\n", (served & ASSET_HARDWARE_REVISION) != 0
                                               ? revisionText(record.slot(3)).c_str()
                                               : notKept);
    if (controller.family == Family::Jmicron) {
        std::printf("active checksum: (none on this controller)\n");
        std::printf("full checksum: (none on this controller)\n");
        return;
    }
    bool active = false;
    bool full = false;
    checksumValidity(layer, controller.family, &active, &full);
    int activeBytes = isVia(controller.family) ? 1 : 2;
    unsigned int activeValue =
        activeBytes == 1 ? record.slot(4)[0] : record.slot(4)[0] | record.slot(4)[1] << 8;
    std::printf("active checksum: 0x%0*x %s\n", activeBytes * 2, activeValue, validWord(active));
    std::printf("full checksum: 0x%04x %s\n", record.slot(5)[0] | record.slot(5)[1] << 8,
                validWord(full));
}

void printController(const Controller &controller) {
    std::printf("controller: %s at %#x\n", controller.name.c_str(), controller.ioBase);
    if (controller.family == Family::Realtek) {
        std::printf("note: the library does not read or program a Realtek EEPROM; its values "
                    "read as all ones\n");
    }
}

// Where the backup goes: the simulated device's /var/lib/ixo, else (on the
// device itself, whose root file system is write-filtered) the current
// directory.
std::string backupDirectory(const CliContext &context, std::string *error) {
    if (context.deviceRoot.empty()) {
        char here[4096];
        if (getcwd(here, sizeof here) == nullptr) {
            *error = std::string("cannot tell the current directory: ") + std::strerror(errno);
            return "";
        }
        return here;
    }
    std::string directory = agent::devicePath("/var/lib/ixo");
    if (directory.empty()) {
        *error = "cannot resolve /var/lib/ixo inside the device root " + context.deviceRoot;
        return "";
    }
    if (!makeParents(directory + "/", error)) {
        return "";
    }
    return directory;
}

// Saves the image under a name no earlier backup has; the path, or "".
std::string saveBackup(const CliContext &context, const unsigned char *image, std::string *error) {
    std::string directory = backupDirectory(context, error);
    if (directory.empty()) {
        return "";
    }
    char stamp[32];
    std::time_t now = std::time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = directory + "/eeprom-backup-" + stamp +
                           (attempt > 0 ? "-" + std::to_string(attempt) : "") + ".bin";
        int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            *error = "cannot create " + path + ": " + std::strerror(errno);
            return "";
        }
        bool written = write(descriptor, image, EEPROM_IMAGE_SIZE) == EEPROM_IMAGE_SIZE;
        bool synced = fsync(descriptor) == 0;
        if (close(descriptor) != 0 || !written || !synced) {
            *error = "cannot write " + path;
            unlink(path.c_str());
            return "";
        }
        return path;
    }
    *error = "too many backups in " + directory + " this second";
    return "";
}

struct WriteRequest {
    unsigned char bit = 0;
    int slot = 0;
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
    request->slot = 1;
    request->value = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                      static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    request->what = "security key";
    return true;
}

bool parseSerial(const std::string &text, WriteRequest *request) {
    if (text.empty() || text.size() > kSerialBytes) {
        return false;
    }
    for (unsigned char character : text) {
        if (character < 0x20 || character > 0x7e) {
            return false;
        }
    }
    request->bit = ASSET_SERIAL_NUMBER;
    request->slot = 0;
    request->value.assign(text.begin(), text.end());
    request->value.resize(kSerialBytes, 0);
    request->what = "serial number";
    return true;
}

bool loadCmos(const std::string &path, WriteRequest *request, std::string *error) {
    std::string bytes;
    if (!readArgumentFile(path, kCmosBytes, &bytes, error)) {
        return false;
    }
    if (bytes.size() != kCmosBytes) {
        *error = path + " holds " + std::to_string(bytes.size()) + " bytes; a CMOS block is " +
                 std::to_string(kCmosBytes);
        return false;
    }
    request->bit = ASSET_CMOS_VALUE;
    request->slot = 6;
    request->value.assign(bytes.begin(), bytes.end());
    request->what = "CMOS block";
    return true;
}

// The value as the device holds it after the write, from a fresh read.
bool valueTook(const WriteRequest &request, Record &record) {
    const unsigned char *held = record.slot(request.slot);
    // A CMOS read hands out the whole image.
    if (request.bit == ASSET_CMOS_VALUE) {
        held += kCmosImageOffset;
    }
    return std::memcmp(held, request.value.data(), request.value.size()) == 0;
}

std::string heldText(const WriteRequest &request, Record &record) {
    if (request.bit == ASSET_SECURITY_KEY) {
        return keyText(record.slot(1));
    }
    if (request.bit == ASSET_SERIAL_NUMBER) {
        return "\"" + serialText(record.slot(0)) + "\"";
    }
    return hexBytes(record.slot(6) + kCmosImageOffset, 8, " ") + " ...";
}

int writeValue(const CliContext &context, const EepromLayer &layer, const WriteRequest &request) {
    Record before;
    if (!readValues(layer, &before, 0)) {
        return 1;
    }
    Controller controller = foundController(layer);
    if ((servedBits(controller.family) & request.bit) == 0) {
        std::fprintf(stderr, "ixoAgent: the %s keeps no %s\n", controller.name.c_str(),
                     request.what);
        return 1;
    }
    std::string error;
    std::string backup = saveBackup(context, layer.image, &error);
    if (backup.empty()) {
        std::fprintf(stderr, "ixoAgent: %s; nothing written\n", error.c_str());
        return 1;
    }
    std::printf("backup of the EEPROM image: %s\n", backup.c_str());

    Record record;
    record.bytes[0] = request.bit;
    std::memcpy(record.slot(request.slot), request.value.data(), request.value.size());
    bool written = layer.write(record.bytes) == 0;
    if (!written) {
        std::fprintf(stderr, "ixoAgent: the write did not complete (see the messages above and "
                             "the log)\n");
    }

    Record after;
    if (!readValues(layer, &after, request.bit | ASSET_ACTIVE_CHECKSUM | ASSET_FULL_CHECKSUM)) {
        return 1;
    }
    bool took = valueTook(request, after);
    std::printf("%s: %s (read back %s)\n", request.what, took ? "took" : "did not take",
                heldText(request, after).c_str());
    if (controller.family != Family::Jmicron) {
        bool active = false;
        bool full = false;
        checksumValidity(layer, controller.family, &active, &full);
        std::printf("checksums: active %s, full %s\n", validWord(active), validWord(full));
    }
    return written && took ? 0 : 1;
}

int showValues(const EepromLayer &layer) {
    Record record;
    if (!readValues(layer, &record, 0x3F)) {
        return 1;
    }
    Controller controller = foundController(layer);
    printController(controller);
    printValues(layer, controller, record);
    return 0;
}

int dumpImage(const EepromLayer &layer) {
    Record record;
    if (!readValues(layer, &record, 0)) {
        return 1;
    }
    printController(foundController(layer));
    layer.dump(layer.image);
    return 0;
}

// A value check for the command line: "" when text makes a request, else
// why not. Refused values stop the command before anything runs.
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

// Runs work with the library's EEPROM layer.
template <typename Work>
int withLayer(const CliContext &context, const Work &work) {
    EepromLayer layer;
    std::string missing;
    if (!loadLayer(*context.library, &layer, &missing)) {
        return cliFailure(context.library->path + ": no entry point '" + missing + "'");
    }
    return work(layer);
}

struct SetArguments {
    std::string value;
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
            return withLayer(context, [&](const EepromLayer &layer) {
                return writeValue(context, layer, request);
            });
        });
    command->add_option(valueName, arguments->value, "the value to write")
        ->required()
        ->type_name("")
        ->check(requestCheck(parse));
}

}  // namespace

void defineEeprom(CommandLine &commandLine) {
    CLI::App *eeprom = commandLine.addGroup(
        commandLine.root(), "eeprom",
        "show or write the EEPROM's asset values\n"
        "those of the network controller's EEPROM: show them (and the\n"
        "checksums' state), dump the image, or write the security key, the\n"
        "serial number or a CMOS block. A write first saves the image to a\n"
        "backup file (the simulated device's /var/lib/ixo, on the real device\n"
        "the current directory), then reads the value back.");
    commandLine.add(*eeprom, "show",
                    "print the asset values\n"
                    "the station address, serial number, security key, hardware\n"
                    "revision and the state of both checksums",
                    Needs::Library, [](const CliContext &context) {
                        return withLayer(context, showValues);
                    });
    commandLine.add(*eeprom, "dump", "print the EEPROM image", Needs::Library,
                    [](const CliContext &context) { return withLayer(context, dumpImage); });
    defineSetter(commandLine, *eeprom, "set-key", "write the security key (1 to 8 hex digits)",
                 "HEX", keyRequest);
    defineSetter(commandLine, *eeprom, "set-serial",
                 "write the serial number (up to 11 printable characters)", "TEXT",
                 serialRequest);
    defineSetter(commandLine, *eeprom, "set-cmos",
                 "write a 42-byte CMOS block read from FILE (Realtek controllers)", "FILE",
                 loadCmos);
}

}  // namespace agent
