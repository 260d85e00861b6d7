// The simulated thin client's network controller: which one the device has
// (/etc/sim/nic), its board's PCI list (/proc/bus/pci/devices), its EEPROM
// (/var/lib/sim/nic-eeprom.bin) and the model of it on the port bus.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "sim/fileOperations.h"
#include "sim/nicModelState.h"

namespace sim {

const char kNicFamilyFile[] = "/etc/sim/nic";
const char kNicFaultFile[] = "/etc/sim/nic.fault";
const char kNicEepromFile[] = "/var/lib/sim/nic-eeprom.bin";

namespace {

const char kPciDevices[] = "/proc/bus/pci/devices";

// One function in the kernel's PCI list: the seven resources are the six
// BARs and the expansion ROM, each with the low flag bits of its BAR (bit 0:
// I/O space; 0x4: 64-bit memory, 0x8: prefetchable).
struct PciFunction {
    unsigned bus;
    unsigned devfn;
    uint16_t vendor;
    uint16_t device;
    unsigned irq;
    uint64_t bars[7];
    uint64_t sizes[7];
    const char *driver;
};

// The line as the kernel prints it: bus and devfn, vendor and device, irq,
// then the resources' starts and sizes, then the bound driver's name.
std::string pciLine(const PciFunction &function) {
    char field[40];
    std::snprintf(field, sizeof field, "%02x%02x\t%04x%04x\t%x", function.bus, function.devfn,
                  function.vendor, function.device, function.irq);
    std::string line = field;
    for (const uint64_t *column : {function.bars, function.sizes}) {
        for (int index = 0; index < 7; ++index) {
            std::snprintf(field, sizeof field, "\t%16" PRIx64, column[index]);
            line += field;
        }
    }
    return line + "\t" + (function.driver != nullptr ? function.driver : "") + "\n";
}

// The VIA boards: a CLE266/VT8235 chipset with a Rhine or a Realtek on the
// board, a CN700/VT8237 with a Velocity.
const PciFunction kViaChipset[] = {
    {0x00, 0x00, 0x1106, 0x3123, 0x0, {0xe0000008}, {0x4000000}, "agpgart-via"},
    {0x00, 0x08, 0x1106, 0xb091, 0x0, {}, {}, nullptr},
    {0x00, 0x80, 0x1106, 0x3038, 0xb, {0, 0, 0, 0, 0xd001}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0x81, 0x1106, 0x3038, 0xb, {0, 0, 0, 0, 0xd401}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0x82, 0x1106, 0x3038, 0x5, {0, 0, 0, 0, 0xd801}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0x83, 0x1106, 0x3104, 0x5, {0xdffff000}, {0x100}, "ehci_hcd"},
    {0x00, 0x88, 0x1106, 0x3177, 0x0, {}, {}, nullptr},
    {0x00, 0x89, 0x1106, 0x0571, 0x0, {0, 0, 0, 0, 0xdc01}, {0, 0, 0, 0, 0x10}, "pata_via"},
    {0x00, 0x8d, 0x1106, 0x3059, 0x5, {0xe001}, {0x100}, "snd_via82xx"},
    {0x01, 0x00, 0x1106, 0x3122, 0xb, {0xd8000008, 0xdd000000}, {0x4000000, 0x1000000}, nullptr},
};
const PciFunction kRhine = {0x00, 0x90, 0x1106, 0x3065, 0xa, {0xe401, 0xdfffe000}, {0x100, 0x100},
                            "via-rhine"};
const PciFunction kRealtek = {0x00, 0x58, 0x10ec, 0x8139, 0xa, {0xe401, 0xdfffe000}, {0x100, 0x100},
                              "8139too"};

const PciFunction kVelocityChipset[] = {
    {0x00, 0x00, 0x1106, 0x0314, 0x0, {0xe8000008}, {0x8000000}, "agpgart-via"},
    {0x00, 0x08, 0x1106, 0xb198, 0x0, {}, {}, nullptr},
    {0x00, 0x80, 0x1106, 0x3038, 0xb, {0, 0, 0, 0, 0xd001}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0x81, 0x1106, 0x3038, 0xb, {0, 0, 0, 0, 0xd401}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0x84, 0x1106, 0x3104, 0x5, {0xdffff000}, {0x100}, "ehci_hcd"},
    {0x00, 0x88, 0x1106, 0x3227, 0x0, {}, {}, nullptr},
    {0x00, 0x89, 0x1106, 0x0571, 0x0, {0, 0, 0, 0, 0xdc01}, {0, 0, 0, 0, 0x10}, "pata_via"},
    {0x00, 0x8d, 0x1106, 0x3059, 0x5, {0xe001}, {0x100}, "snd_via82xx"},
    {0x01, 0x00, 0x1106, 0x3344, 0xb, {0xd0000008, 0xde000000}, {0x8000000, 0x1000000}, nullptr},
};
const PciFunction kVelocity = {0x00, 0x48, 0x1106, 0x3119, 0xa, {0xe801, 0xdfffd000}, {0x100, 0x100},
                               "via-velocity"};

// An Atom/NM10 board with the JMicron on a PCI Express port: its registers
// in a 64-bit memory BAR, its I/O block (SMBus master at +0x40) in BAR 2.
const PciFunction kAtomChipset[] = {
    {0x00, 0x00, 0x8086, 0xa010, 0x0, {}, {}, nullptr},
    {0x00, 0x10, 0x8086, 0xa011, 0xb, {0xfea80000, 0xec01, 0xd0000008, 0xfeb00000},
     {0x80000, 0x8, 0x10000000, 0x80000}, nullptr},
    {0x00, 0xd8, 0x8086, 0x27d8, 0x10, {0xfebf8004}, {0x4000}, "snd_hda_intel"},
    {0x00, 0xe0, 0x8086, 0x27d0, 0x11, {}, {}, "pcieport"},
    {0x00, 0xe8, 0x8086, 0x27c8, 0x12, {0, 0, 0, 0, 0xe001}, {0, 0, 0, 0, 0x20}, "uhci_hcd"},
    {0x00, 0xef, 0x8086, 0x27cc, 0x12, {0xfebff800}, {0x400}, "ehci_hcd"},
    {0x00, 0xf0, 0x8086, 0x2448, 0x0, {}, {}, nullptr},
    {0x00, 0xf8, 0x8086, 0x27bc, 0x0, {}, {}, "lpc_ich"},
    {0x00, 0xfa, 0x8086, 0x27c0, 0x13, {0xe801, 0xe401, 0xe081, 0xe001, 0xdc01},
     {0x8, 0x4, 0x8, 0x4, 0x10}, "ata_piix"},
    {0x00, 0xfb, 0x8086, 0x27da, 0x13, {0, 0, 0, 0, 0x0401}, {0, 0, 0, 0, 0x20}, "i2c_i801"},
};
const PciFunction kJmicron = {0x02, 0x00, 0x197b, 0x0260, 0x1c, {0xfebfc004, 0, 0x2001},
                              {0x4000, 0, 0x80}, "jme"};

// ---- factory EEPROM images -------------------------------------------------------

void put(std::vector<uint8_t> &image, size_t offset, const void *bytes, size_t count) {
    std::memcpy(image.data() + offset, bytes, count);
}

void putKey(std::vector<uint8_t> &image, size_t offset, uint32_t key) {
    for (int index = 0; index < 4; ++index) {
        image[offset + index] = static_cast<uint8_t>(key >> (8 * index));
    }
}

void putWord(std::vector<uint8_t> &image, size_t word, uint16_t value) {
    image[2 * word] = static_cast<uint8_t>(value);
    image[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// The negated 16-bit sum of words first..last, so that they and the stored
// word add up to 0.
uint16_t wordChecksum(const std::vector<uint8_t> &image, size_t first, size_t last) {
    unsigned sum = 0;
    for (size_t word = first; word <= last; ++word) {
        sum += image[2 * word] | image[2 * word + 1] << 8;
    }
    return static_cast<uint16_t>(0x10000 - (sum & 0xFFFF));
}

struct AssetValues {
    uint8_t mac[6];
    const char *serial;  // 11 characters
    const char *revision;  // 4 bytes
    uint32_t key;
};

// VIA: the controller's own area in bytes 0 to 31 (station address, the
// subsystem IDs it presents at 8 to 11, its checksum at 31), the maker's
// values from byte 40, the rest erased, the whole-image checksum in word 63.
std::vector<uint8_t> viaImage(const AssetValues &values, uint16_t subsystemDevice) {
    std::vector<uint8_t> image(128, 0x00);
    put(image, 0, values.mac, 6);
    putWord(image, 4, 0x1106);
    putWord(image, 5, subsystemDevice);
    unsigned sum = 0;
    for (size_t offset = 0; offset < 31; ++offset) {
        sum += image[offset];
    }
    image[31] = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    put(image, 40, values.revision, 4);
    putKey(image, 44, values.key);
    put(image, 52, values.serial, 11);
    image[63] = 0x00;
    std::fill(image.begin() + 64, image.begin() + 126, 0xFF);
    putWord(image, 63, wordChecksum(image, 0, 62));
    return image;
}

// Realtek: the controller's ID words, subsystem, PCI timing and station
// address, configuration defaults, the active checksum in word 25; the
// maker's CMOS block, serial number, revision and key in words 31 to 61,
// covered by word 63; words 26 to 30 and 62 are unused.
std::vector<uint8_t> realtekImage(const AssetValues &values) {
    static const uint8_t kCmosBlock[42] = {
        0x26, 0x02, 0x50, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x40, 0x00, 0xF0, 0x80, 0x02, 0x80, 0x02, 0x00, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x0F, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1A, 0x04, 0x20};
    std::vector<uint8_t> image(128, 0x00);
    putWord(image, 0, 0x8129);
    putWord(image, 1, 0x10ec);
    putWord(image, 2, 0x8139);
    putWord(image, 3, 0x10ec);
    putWord(image, 4, 0x8139);
    image[10] = 0x20;  // minimum grant
    image[11] = 0x40;  // maximum latency
    put(image, 14, values.mac, 6);
    image[20] = 0x4d;  // configuration 0 and 1
    image[21] = 0xc2;
    putWord(image, 25, wordChecksum(image, 0, 24));
    put(image, 62, kCmosBlock, sizeof kCmosBlock);
    put(image, 104, values.serial, 11);
    image[115] = 0x00;
    put(image, 116, values.revision, 4);
    putKey(image, 120, values.key);
    putWord(image, 62, 0xFFFF);
    putWord(image, 63, wordChecksum(image, 31, 61));
    return image;
}

// JMicron: the controller's load area (signature, station address) at 0x00,
// the maker's window 0x40 to 0x58 (board name, the key at 0x50), erased
// above.
std::vector<uint8_t> jmicronImage(const AssetValues &values) {
    std::vector<uint8_t> image(256, 0xFF);
    image[0] = 0xA5;
    image[1] = 0x5A;
    put(image, 2, values.mac, 6);
    put(image, 0x40, "MB-J260 REV A02 ", 16);
    putKey(image, 0x50, values.key);
    std::fill(image.begin() + 0x54, image.begin() + 0x59, 0x00);
    return image;
}

// ---- the families --------------------------------------------------------------------

struct Family {
    const char *name;
    const PciFunction *chipset;
    size_t chipsetCount;
    const PciFunction *controller;
    std::vector<uint8_t> (*factoryImage)();
    nic::ModelHandle (*makeModel)(uint16_t ioBase, nic::EepromImage &eeprom);
    size_t eepromSize;
};

const Family kFamilies[] = {
    {"rhine", kViaChipset, std::size(kViaChipset), &kRhine,
     [] {
         return viaImage({{0x00, 0x40, 0x63, 0xd6, 0x1a, 0x3c}, "7T3C1045216", "R1.2", 0x5A3C96E1},
                         0x0106);
     },
     nic::makeRhineModel, 128},
    {"velocity", kVelocityChipset, std::size(kVelocityChipset), &kVelocity,
     [] {
         return viaImage({{0x00, 0x40, 0x63, 0xe8, 0x52, 0x07}, "7T5V2087341", "R2.0", 0x9D04B7C2},
                         0x0110);
     },
     nic::makeVelocityModel, 128},
    {"realtek", kViaChipset, std::size(kViaChipset), &kRealtek,
     [] { return realtekImage({{0x00, 0xe0, 0x4c, 0x71, 0x3a, 0x5e}, "7T1R0968830", "R1.0", 0x2F61A4D8}); },
     nullptr, 128},
    {"jmicron", kAtomChipset, std::size(kAtomChipset), &kJmicron,
     [] { return jmicronImage({{0x00, 0x1b, 0x8c, 0x2a, 0x61, 0xf4}, "", "", 0xC7E2193B}); },
     nic::makeJmicronModel, 256},
};

const Family *findFamily(const std::string &name) {
    for (const Family &family : kFamilies) {
        if (name == family.name) {
            return &family;
        }
    }
    return nullptr;
}

std::string familyList() {
    std::string list;
    for (const Family &family : kFamilies) {
        list += (list.empty() ? "" : ", ") + std::string(family.name);
    }
    return list;
}

std::string withoutTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

// The I/O base of the controller's first I/O BAR in the root's PCI list.
bool findIoBase(const std::string &root, const PciFunction &controller, uint16_t *ioBase,
                std::string *error) {
    std::string content;
    if (!files::readFile(root + kPciDevices, &content, error)) {
        return false;
    }
    std::istringstream lines(content);
    std::string line;
    uint32_t wanted = uint32_t{controller.vendor} << 16 | controller.device;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        uint32_t slot = 0;
        uint32_t ids = 0;
        uint32_t irq = 0;
        if (!(fields >> std::hex >> slot >> ids >> irq) || ids != wanted) {
            continue;
        }
        uint64_t bar = 0;
        for (int index = 0; index < 6 && fields >> std::hex >> bar; ++index) {
            if ((bar & 1) != 0 && bar < 0x10000) {
                *ioBase = static_cast<uint16_t>(bar & ~uint64_t{3});
                return true;
            }
        }
        *error = root + kPciDevices + " gives the network controller no I/O ports";
        return false;
    }
    *error = root + kPciDevices + " does not list the network controller";
    return false;
}

bool readEepromFile(const std::string &root, const Family &family, std::vector<uint8_t> *bytes,
                    std::string *error) {
    std::string content;
    std::string path = root + kNicEepromFile;
    if (!files::readFile(path, &content, error)) {
        return false;
    }
    if (content.size() != family.eepromSize) {
        *error = path + " holds " + std::to_string(content.size()) + " bytes, not the " +
                 std::to_string(family.eepromSize) + " of the " + family.name + " EEPROM";
        return false;
    }
    bytes->assign(content.begin(), content.end());
    return true;
}

// The controller on the bus: the EEPROM image it works on and its model.
struct AttachedNic {
    std::string root;
    unsigned long resets = 0;
    std::unique_ptr<nic::EepromImage> eeprom;
    nic::ModelHandle model;
    bool onBus() const { return eeprom != nullptr && resets == portBusResets(); }
};

AttachedNic &attached() {
    static AttachedNic nic;
    return nic;
}

}  // namespace

const std::vector<std::string> &nicFamilies() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Family &family : kFamilies) {
            list.push_back(family.name);
        }
        return list;
    }();
    return names;
}

std::string nicFamily(const std::string &root) {
    std::string content;
    std::string ignored;
    if (!files::readFile(withoutTrailingSlashes(root) + kNicFamilyFile, &content, &ignored)) {
        return "";
    }
    while (!content.empty() && (content.back() == '\n' || content.back() == ' ')) {
        content.pop_back();
    }
    return findFamily(content) != nullptr ? content : "";
}

bool writeNicDevice(const std::string &rootDir, const std::string &familyName, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    const Family *family = findFamily(familyName);
    if (family == nullptr) {
        *error = "unknown network controller '" + familyName + "' (" + familyList() + ")";
        return false;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    std::string pciList;
    for (size_t index = 0; index < family->chipsetCount; ++index) {
        pciList += pciLine(family->chipset[index]);
    }
    pciList += pciLine(*family->controller);
    std::vector<uint8_t> image = family->factoryImage();
    std::string eepromPath = root + kNicEepromFile;
    return files::makeDirectories(root + "/proc/bus/pci", 0755, error) &&
           files::replaceFile(root + kPciDevices, pciList, 0644, error) &&
           files::makeDirectories(eepromPath.substr(0, eepromPath.rfind('/')), 0755, error) &&
           files::replaceFile(eepromPath, std::string(image.begin(), image.end()), 0644, error) &&
           files::makeDirectories(root + "/etc/sim", 0755, error) &&
           files::replaceFile(root + kNicFamilyFile, family->name + std::string("\n"), 0644, error);
}

bool attachNicModel(const std::string &rootDir, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    std::string name = nicFamily(root);
    const Family *family = findFamily(name);
    if (family == nullptr) {
        *error = "the simulated device " + root + " has no network controller (" + kNicFamilyFile +
                 " names none)";
        return false;
    }
    if (family->makeModel == nullptr) {
        return true;
    }
    AttachedNic &nic = attached();
    if (nic.onBus()) {
        if (nic.root == root) {
            return true;
        }
        *error = "the network controller of " + nic.root + " is on the port bus; reset it first";
        return false;
    }
    uint16_t ioBase = 0;
    std::vector<uint8_t> bytes;
    if (!findIoBase(root, *family->controller, &ioBase, error) ||
        !readEepromFile(root, *family, &bytes, error)) {
        return false;
    }
    std::string fault;
    if (files::exists(root + kNicFaultFile)) {
        if (!files::readFile(root + kNicFaultFile, &fault, error)) {
            return false;
        }
        fault.erase(fault.find_last_not_of(" \n") + 1);
        try {
            setNicFault(fault);
        } catch (const std::invalid_argument &reason) {
            *error = root + kNicFaultFile + ": " + reason.what();
            return false;
        }
    }
    auto eeprom = std::make_unique<nic::EepromImage>(root + kNicEepromFile, std::move(bytes));
    nic::ModelHandle model = family->makeModel(ioBase, *eeprom);
    try {
        attachPortModel(model.ports);
    } catch (const std::invalid_argument &reason) {
        *error = "cannot put the " + name + " model on the port bus: " + reason.what();
        return false;
    }
    // The old model is off the bus (reset): it can go now.
    nic.model = std::move(model);
    nic.eeprom = std::move(eeprom);
    nic.root = root;
    nic.resets = portBusResets();
    nic::clearRecords();
    return true;
}

std::vector<uint8_t> nicEeprom(const std::string &rootDir) {
    std::string root = withoutTrailingSlashes(rootDir);
    const AttachedNic &nic = attached();
    if (nic.onBus() && nic.root == root) {
        return nic.eeprom->bytes();
    }
    const Family *family = findFamily(nicFamily(root));
    std::vector<uint8_t> bytes;
    std::string ignored;
    if (family == nullptr || !readEepromFile(root, *family, &bytes, &ignored)) {
        return {};
    }
    return bytes;
}

bool setNicEeprom(const std::string &rootDir, const std::vector<uint8_t> &content, std::string *error) {
    std::string ignored;
    if (error == nullptr) {
        error = &ignored;
    }
    std::string root = withoutTrailingSlashes(rootDir);
    const Family *family = findFamily(nicFamily(root));
    if (family == nullptr) {
        *error = "the simulated device " + root + " has no network controller";
        return false;
    }
    if (content.size() != family->eepromSize) {
        *error = "the " + std::string(family->name) + " EEPROM holds " +
                 std::to_string(family->eepromSize) + " bytes, not " + std::to_string(content.size());
        return false;
    }
    if (!files::replaceFile(root + kNicEepromFile, std::string(content.begin(), content.end()), 0644,
                            error)) {
        return false;
    }
    AttachedNic &nic = attached();
    if (nic.onBus() && nic.root == root) {
        nic.eeprom->replace(content);
    }
    return true;
}

}  // namespace sim
