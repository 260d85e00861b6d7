// "inventory": what the agent reports about the device. The library collects
// the record (getPlatformData) and each interface of the temporary registry
// (getNetworkInterfaceData); the agent adds the platform type and the TPM,
// brand and OEM checks, and prints a summary, the inventory document or
// the inventory as JSON.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "agent/cliCommands.h"
#include "agent/eepromValues.h"
#include "agent/indentedDocument.h"
#include "agent/jsonOutput.h"
#include "agent/jsonStdout.h"
#include "host/host.h"
#include "ixo/assets.h"
#include "ixo/eeprom.h"
#include "ixo/platform.h"
#include "src/urlPasswords.h"

namespace agent {

namespace {

const char kTemporaryRegistry[] = "/tmp/system.conf";

// The library's entries this command uses, looked up in the loaded library.
struct InventoryEntries {
    decltype(&::getPlatformData) collect = nullptr;
    decltype(&::getNetworkInterfaceData) readInterface = nullptr;
    decltype(&::getPlatformType) platformType = nullptr;
    decltype(&::isTPMPresent) tpmPresent = nullptr;
    decltype(&::isThisNorvPlatform) norvPlatform = nullptr;
    decltype(&::is_Cisco_device) ciscoDevice = nullptr;
    decltype(&::scan_proc_bus_pci) findController = nullptr;
    const NetworkInterfaceSection *sections = nullptr;
};

bool resolveEntries(const PlatformLibrary &library, InventoryEntries *entries,
                    std::string *missing) {
    return resolveEntry(library, "getPlatformData", &entries->collect, missing) &&
           resolveEntry(library, "getNetworkInterfaceData", &entries->readInterface, missing) &&
           resolveEntry(library, "getPlatformType", &entries->platformType, missing) &&
           resolveEntry(library, "isTPMPresent", &entries->tpmPresent, missing) &&
           resolveEntry(library, "isThisNorvPlatform", &entries->norvPlatform, missing) &&
           resolveEntry(library, "is_Cisco_device", &entries->ciscoDevice, missing) &&
           resolveEntry(library, "scan_proc_bus_pci", &entries->findController, missing) &&
           resolveEntry(library, "networkInterfaces", &entries->sections, missing);
}

// The EEPROM layer prints its hardware messages on standard output; while
// the library collects they go to standard error, so that the output holds
// only the inventory.
struct HardwareMessagesToStderr {
    int savedStdout = -1;
    HardwareMessagesToStderr() {
        std::fflush(stdout);
        savedStdout = dup(STDOUT_FILENO);
        if (savedStdout >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            close(savedStdout);
            savedStdout = -1;
        }
    }
    ~HardwareMessagesToStderr() {
        std::fflush(stdout);
        if (savedStdout >= 0) {
            dup2(savedStdout, STDOUT_FILENO);
            close(savedStdout);
        }
    }
};

struct RecordRelease {
    void operator()(PlatformData *record) const {
        freePlatformData(record);
        std::free(record);
    }
};
using RecordPtr = std::unique_ptr<PlatformData, RecordRelease>;

struct Inventory {
    RecordPtr record;
    // The record's values from the network controller's EEPROM, with
    // whether its family stores them.
    EepromValue serialNumber;
    EepromValue securityKey;
    // The interfaces read from the registry, with their sections.
    std::vector<std::pair<std::string, const NetworkInterface *>> interfaces;
    int platformType = 0;
    int tpmPresent = 0;
    int norvPlatform = 0;
    int ciscoDevice = 0;
};

const NetworkInterface *lastInterface(const PlatformData &record) {
    const NetworkInterface *net = record.networkList;
    while (net != nullptr && net->next != nullptr) {
        net = net->next;
    }
    return net;
}

void readInterfaces(const PlatformLibrary &library, const InventoryEntries &entries,
                    Inventory *inventory) {
    int registry = library.openRegistry(kTemporaryRegistry);
    if (registry == 0) {
        std::fprintf(stderr, "ixoAgent: cannot open registry %s: no interfaces (see the log)\n",
                     kTemporaryRegistry);
        return;
    }
    for (const NetworkInterfaceSection *row = entries.sections; row->sectionName[0] != '\0';
         ++row) {
        std::string section(row->sectionName, strnlen(row->sectionName, sizeof row->sectionName));
        const NetworkInterface *before = lastInterface(*inventory->record);
        entries.readInterface(registry, inventory->record.get(), section.c_str());
        const NetworkInterface *after = lastInterface(*inventory->record);
        if (after != before) {
            inventory->interfaces.emplace_back(section, after);
        }
    }
    library.closeRegistry(registry);
}

// The device's values are the text its commands printed: the report shows
// the first line without the blanks around it.
std::string shown(const char *field, size_t size = IXO_TEXT_FIELD_SIZE) {
    std::string text(field, strnlen(field, size));
    text = text.substr(0, text.find('\n'));
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

std::string shownField(const char *field) { return shown(field); }

// The serial number is 11 characters; the EEPROM byte after them is not.
std::string shownSerial(const char *field) { return shown(field, IXO_SERIAL_NUMBER_LENGTH); }

// ---- the document -------------------------------------------------------------

void documentMedium(IndentedDocument &document, const WriteableMediaEntry &medium) {
    document.open(2, "medium");
    document.text(3, "deviceName", shown(medium.deviceName));
    document.number(3, "ideChannel", medium.ideChannel);
    document.number(3, "ideDrive", medium.ideDrive);
    document.number(3, "partitionNumber", medium.partitionNumber);
    document.number(3, "bootIndicator", medium.bootIndicator);
    document.number(3, "partitionType", medium.partitionType);
    document.number(3, "startSector", medium.startSector);
    document.number(3, "sectorCount", medium.sectorCount);
    document.close(2, "medium");
}

bool printDocument(const Inventory &inventory) {
    const PlatformData &record = *inventory.record;
    IndentedDocument document;
    document.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    document.open(0, "inventory");
    document.open(1, "device");
    document.text(2, "platform", shown(record.platform));
    document.number(2, "platformType", static_cast<uint32_t>(inventory.platformType));
    document.text(2, "biosName", shown(record.biosName));
    document.text(2, "biosVersion", shown(record.biosVersion));
    document.number(2, "biosSize", record.biosSize);
    document.number(2, "eepromSize", record.eepromSize);
    document.number(2, "cmosSize", record.cmosSize);
    document.number(2, "totalMemory", record.totalMemory);
    document.text(2, "processorType", shown(record.processorType));
    document.number(2, "processorSpeed", record.processorSpeed);
    document.text(2, "serialNumber", shownSerial(record.serialNumber));
    document.text(2, "securityKey", shown(record.securityKey));
    document.text(2, "mac", record.networkList != nullptr ? shown(record.networkList->mac) : "");
    document.number(2, "tpmPresent", static_cast<uint32_t>(inventory.tpmPresent));
    document.number(2, "norvPlatform", static_cast<uint32_t>(inventory.norvPlatform));
    document.number(2, "ciscoDevice", static_cast<uint32_t>(inventory.ciscoDevice));
    document.close(1, "device");
    document.open(1, "networkInterfaces");
    for (const auto &[section, net] : inventory.interfaces) {
        addInterfaceElement(document, 2, section, *net, shownField);
    }
    document.close(1, "networkInterfaces");
    document.open(1, "writeableMedia");
    for (const WriteableMediaEntry *medium = record.writeableMedia; medium != nullptr;
         medium = medium->next) {
        documentMedium(document, *medium);
    }
    document.close(1, "writeableMedia");
    document.close(0, "inventory");
    if (!document.ok) {
        return false;
    }
    std::fputs(charBufferString(document.buffer.get()).c_str(), stdout);
    return true;
}

// ---- the JSON document -----------------------------------------------------------

// The document's texts, with passwords in URLs hidden.
std::string jsonField(const char *field) { return ixo::hideUrlPasswords(shown(field)); }

// The fields of the document's <device>; the EEPROM's values with whether
// the controller family stores them.
nlohmann::ordered_json deviceJson(const Inventory &inventory) {
    const PlatformData &record = *inventory.record;
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["platform"] = jsonField(record.platform);
    out["platformType"] = inventory.platformType;
    out["biosName"] = jsonField(record.biosName);
    out["biosVersion"] = jsonField(record.biosVersion);
    out["biosSize"] = record.biosSize;
    out["eepromSize"] = record.eepromSize;
    out["cmosSize"] = record.cmosSize;
    out["totalMemory"] = record.totalMemory;
    out["processorType"] = jsonField(record.processorType);
    out["processorSpeed"] = record.processorSpeed;
    out["serialNumber"] = eepromValueJson(inventory.serialNumber);
    out["securityKey"] = eepromValueJson(inventory.securityKey);
    out["mac"] = record.networkList != nullptr ? jsonField(record.networkList->mac) : "";
    out["tpmPresent"] = inventory.tpmPresent;
    out["norvPlatform"] = inventory.norvPlatform;
    out["ciscoDevice"] = inventory.ciscoDevice;
    return out;
}

bool printJson(JsonStdout &out, const Inventory &inventory) {
    nlohmann::ordered_json interfaces = nlohmann::ordered_json::array();
    for (const auto &[section, net] : inventory.interfaces) {
        interfaces.push_back(networkInterfaceJson(section, *net, jsonField));
    }
    nlohmann::ordered_json media = nlohmann::ordered_json::array();
    for (const WriteableMediaEntry *medium = inventory.record->writeableMedia; medium != nullptr;
         medium = medium->next) {
        media.push_back(writeableMediumJson(*medium, jsonField));
    }
    std::string error;
    if (!out.print(nlohmann::ordered_json{{"device", deviceJson(inventory)},
                                          {"networkInterfaces", std::move(interfaces)},
                                          {"writeableMedia", std::move(media)}},
                   &error)) {
        std::fprintf(stderr, "ixoAgent: %s\n", error.c_str());
        return false;
    }
    return true;
}

// ---- the summary ----------------------------------------------------------------

const char kUnavailable[] = "unavailable";

std::string orUnavailable(const std::string &text) { return text.empty() ? kUnavailable : text; }

std::string numberOrUnavailable(uint32_t value, const char *unit) {
    return value == 0 ? kUnavailable : std::to_string(value) + unit;
}

void line(const char *label, const std::string &value) {
    std::printf("%-16s%s\n", label, value.c_str());
}

const char *assignmentName(uint32_t type) {
    switch (type) {
        case 1:
            return "static";
        case 2:
            return "DHCP";
        case 3:
            return "BOOTP";
        default:
            return "unknown addressing";
    }
}

const char *interfaceKind(uint32_t type) {
    switch (type) {
        case 1:
            return "wired";
        case 2:
            return "wireless";
        default:
            return "other";
    }
}

std::string linkText(const NetworkInterface &net) {
    if (net.interfaceType != 1) {
        return "";
    }
    if (net.linkSpeed == 0) {
        return ", no link";
    }
    const char *duplex = net.linkDuplex == 2 ? "full" : net.linkDuplex == 1 ? "half" : "unknown";
    return ", link " + std::to_string(net.linkSpeed) + " Mb/s " + duplex + " duplex";
}

void printMedium(const WriteableMediaEntry &medium) {
    std::string where = shown(medium.deviceName);
    if (where == "ide") {
        where += " channel " + std::to_string(medium.ideChannel) + " drive " +
                 std::to_string(medium.ideDrive);
    }
    char text[160];
    if (medium.sectorCount == 0) {
        std::snprintf(text, sizeof text, "whole disk (no partition table)");
    } else {
        std::snprintf(text, sizeof text, "partition %u, type 0x%02X%s, sectors %u-%u (%u MiB)",
                      static_cast<unsigned>(medium.partitionNumber),
                      static_cast<unsigned>(medium.partitionType),
                      medium.bootIndicator == 0x80 ? ", active" : "",
                      static_cast<unsigned>(medium.startSector),
                      static_cast<unsigned>(medium.startSector + medium.sectorCount - 1),
                      static_cast<unsigned>(medium.sectorCount / 2048));
    }
    std::printf("  %-22s%s\n", where.c_str(), text);
}

void printSummary(const Inventory &inventory, const std::string &deviceRoot) {
    const PlatformData &record = *inventory.record;
    std::printf("Inventory of %s\n", deviceRoot.empty()
                                         ? "this machine"
                                         : ("the simulated thin client in " + deviceRoot).c_str());
    std::string platform = orUnavailable(shown(record.platform));
    if (inventory.platformType != 0) {
        platform += " (platform type " + std::to_string(inventory.platformType) + ")";
    }
    line("Platform", platform);
    std::string bios = orUnavailable(shown(record.biosName));
    bios += ", version " + orUnavailable(shown(record.biosVersion));
    line("BIOS", bios);
    line("BIOS flash", numberOrUnavailable(record.biosSize, " bytes"));
    line("EEPROM", numberOrUnavailable(record.eepromSize, " bytes"));
    line("CMOS", numberOrUnavailable(record.cmosSize, " bytes"));
    line("Memory", numberOrUnavailable(record.totalMemory, " kB"));
    line("Processor", orUnavailable(shown(record.processorType)) + ", " +
                          numberOrUnavailable(record.processorSpeed, " MHz"));
    for (const EepromValue *value : {&inventory.serialNumber, &inventory.securityKey}) {
        line(value->label, value->stored ? orUnavailable(value->text) : kNotStored);
    }
    line("MAC address",
         orUnavailable(record.networkList != nullptr ? shown(record.networkList->mac) : ""));
    line("TPM", inventory.tpmPresent ? "present" : "not present");
    line("Norv Lumora", inventory.norvPlatform ? "yes" : "no");
    line("Cisco OEM", inventory.ciscoDevice ? "yes" : "no");
    std::printf("Network interfaces\n");
    if (inventory.interfaces.empty()) {
        std::printf("  %s\n", kUnavailable);
    }
    for (const auto &[section, net] : inventory.interfaces) {
        std::printf("  %-22s%s %s, %s %s/%s via %s%s%s\n", section.c_str(), shown(net->mac).c_str(),
                    interfaceKind(net->interfaceType), assignmentName(net->ipAssignmentType),
                    orUnavailable(shown(net->address)).c_str(),
                    orUnavailable(shown(net->netmask)).c_str(),
                    orUnavailable(shown(net->gateway)).c_str(), net->isPrimary ? ", primary" : "",
                    linkText(*net).c_str());
    }
    std::printf("Writeable media\n");
    if (record.writeableMedia == nullptr) {
        std::printf("  %s\n", kUnavailable);
    }
    for (const WriteableMediaEntry *medium = record.writeableMedia; medium != nullptr;
         medium = medium->next) {
        printMedium(*medium);
    }
}

struct InventoryOptions {
    bool xml = false;
    bool json = false;
};

int showInventory(const CliContext &context, const InventoryOptions &options) {
    const PlatformLibrary &library = *context.library;
    InventoryEntries entries;
    std::string missing;
    if (!resolveEntries(library, &entries, &missing)) {
        return cliFailure(library.path + ": no entry point '" + missing + "'");
    }
    // Device programs run while the library collects: they print nothing
    // into the document.
    std::unique_ptr<JsonStdout> out;
    if (int status = reserveStdoutForJson(options.json, &out); status != -1) {
        return status;
    }
    Inventory inventory;
    const IxoEepromFamily *eepromFamily = nullptr;
    inventory.record.reset(static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData))));
    if (!inventory.record) {
        return cliFailure("out of memory");
    }
    {
        HardwareMessagesToStderr redirect;
        // The controller's family tells which EEPROM values are stored at
        // all. This machine as the device: without a network controller the
        // library knows, its ports are never opened to the EEPROM layer.
        static const IxoPortIo refusePorts = {};
        const pcidev_row *controller = entries.findController();
        if (context.deviceRoot.empty() && controller == nullptr) {
            library.setPortIo(&refusePorts);
        }
        IxoEepromController found;
        if (controller != nullptr && library.eepromController(&found) == 0) {
            eepromFamily = found.family;
        }
        entries.collect(inventory.record.get());
        readInterfaces(library, entries, &inventory);
        inventory.platformType = entries.platformType();
        inventory.tpmPresent = entries.tpmPresent();
        inventory.norvPlatform = entries.norvPlatform();
        inventory.ciscoDevice = entries.ciscoDevice();
    }
    const PlatformData &record = *inventory.record;
    inventory.serialNumber = eepromValue(eepromFamily, ASSET_SERIAL_NUMBER,
                                         "serialNumber", "Serial number",
                                         shownSerial(record.serialNumber));
    inventory.securityKey = eepromValue(eepromFamily, ASSET_SECURITY_KEY, "securityKey",
                                        "Security key", shown(record.securityKey));
    if (out) {
        return printJson(*out, inventory) ? 0 : 1;
    }
    if (options.xml) {
        return printDocument(inventory) ? 0 : cliFailure("cannot build the inventory document");
    }
    printSummary(inventory, context.deviceRoot);
    return 0;
}

}  // namespace

void defineInventory(CommandLine &commandLine) {
    auto options = std::make_shared<InventoryOptions>();
    CLI::App *command = commandLine.add(
        commandLine.root(), "inventory",
        "collect and print the device's inventory\n"
        "as the agent reports it (platform, BIOS, memory, processor, serial\n"
        "number and security key, interfaces, drives, platform type, TPM, brand\n"
        "and OEM checks): a summary, the document, or JSON; what cannot be read\n"
        "is shown unavailable, and in the summary a value the network\n"
        "controller's family does not store as \"not stored by this controller\"\n"
        "(in JSON null, with \"stored\": false)",
        Needs::Library,
        [options](const CliContext &context) { return showInventory(context, *options); });
    CLI::Option *xml =
        command->add_flag("--xml", options->xml, "print the inventory document instead");
    command->add_flag("--json", options->json, "print the inventory as a JSON document instead")
        ->excludes(xml);
}

}  // namespace agent
