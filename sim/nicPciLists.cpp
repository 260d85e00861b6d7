#include "sim/nicPciLists.h"

#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "sim/fileOperations.h"

namespace sim::nic {

const char kPciDevices[] = "/proc/bus/pci/devices";

namespace {

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

}  // namespace

struct PciBoard {
    const PciFunction *chipset;
    size_t chipsetCount;
    const PciFunction *controller;
};

const PciBoard kRhineBoard = {kViaChipset, std::size(kViaChipset), &kRhine};
const PciBoard kRealtekBoard = {kViaChipset, std::size(kViaChipset), &kRealtek};
const PciBoard kVelocityBoard = {kVelocityChipset, std::size(kVelocityChipset), &kVelocity};
const PciBoard kJmicronBoard = {kAtomChipset, std::size(kAtomChipset), &kJmicron};

std::string pciDevicesList(const PciBoard &board) {
    std::string list;
    for (size_t index = 0; index < board.chipsetCount; ++index) {
        list += pciLine(board.chipset[index]);
    }
    return list + pciLine(*board.controller);
}

bool findControllerIoBase(const std::string &root, const PciBoard &board, uint16_t *ioBase,
                          std::string *error) {
    std::string content;
    if (!files::readFile(root + kPciDevices, &content, error)) {
        return false;
    }
    std::istringstream lines(content);
    std::string line;
    uint32_t wanted = uint32_t{board.controller->vendor} << 16 | board.controller->device;
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

}  // namespace sim::nic
