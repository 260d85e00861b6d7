// Finding the on-board network controller in the kernel's PCI list and
// moving asset values between its EEPROM and a request record through the
// controller family's operations.
#define IXO_MODULE "EepromFunctions"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "device/device.h"
#include "eeprom/eepromInternal.h"
#include "eeprom/families.h"
#include "eeprom/ioPrivilege.h"
#include "handles.h"
#include "log.h"

namespace {

constexpr int kJmicronDevice = 0x0260;
// The JMicron's SMBus master sits at this port whatever its BARs say.
constexpr unsigned short kJmicronSmbusBase = 0x2040;

using File = handles::File;

// The row the last scan matched; null when it matched none.
pcidev_row *lastFound = nullptr;

}  // namespace

namespace eeprom {

pcidev_row *prepareTransfer() {
    std::memset(eeprom_contents, 0xFF, sizeof eeprom_contents);
    IoPrivilegeScope ports(IoPrivilegeScope::OnExit::StayRaised);
    if (!ports.raised()) {
        std::printf("Not able to rise I/O privilege level of current process to : %d\n",
                    IoPrivilegeScope::kPortsOpen);
        return nullptr;
    }
    pcidev_row *row = scan_proc_bus_pci();
    if (row == nullptr) {
        IXO_LOG(IXO_ERROR, "no supported ethernet controller found");
        std::puts("No ethernet device not found ");
    }
    return row;
}

}  // namespace eeprom

extern "C" {

IXO_API int debug = 0;
IXO_API unsigned char eeprom_contents[EEPROM_IMAGE_SIZE];

IXO_API pcidev_row pcidev_tbl[10] = {
    {"Realtek 8167", "RealTek RTL8167", 0x10ec, 0x8167, 0xffff, 0, 0x80, 0, eeprom::readRealtekRow,
     writeRtlEeprom, fillRtlEepromAsset},
    {"Realtek 8129", "RealTek RTL8129", 0x10ec, 0x8129, 0xffff, 0, 0x80, 0, eeprom::readRealtekRow,
     writeRtlEeprom, fillRtlEepromAsset},
    {"Realtek 8139", "RealTek RTL8139", 0x10ec, 0x8139, 0xffff, 0, 0x80, 0, eeprom::readRealtekRow,
     writeRtlEeprom, fillRtlEepromAsset},
    {"SMC 1211", "SMC1211TX EZCard 10/100 (RealTek RTL8139)", 0x1113, 0x1211, 0xffff, 0, 0x80, 0,
     eeprom::readRealtekRow, writeRtlEeprom, fillRtlEepromAsset},
    // Same IDs as the row above, so never chosen.
    {"Accton MPX5030", "Accton MPX5030 (RealTek RTL8139)", 0x1113, 0x1211, 0xffff, 0, 0x80, 0,
     eeprom::readRealtekRow, writeRtlEeprom, fillRtlEepromAsset},
    {"Realtek", "RealTek (unknown chip type)", 0x10ec, 0x8100, 0xff00, 0, 0x80, 0,
     eeprom::readRealtekRow, writeRtlEeprom, fillRtlEepromAsset},
    {"ViaRhine", "VIA Technologies", 0x1106, 0x3065, 0xff00, 0, 0x80, 0, readViaEeprom,
     writeViaEeprom, fillViaEepromAsset},
    {"Velocity", "VIA Technologies", 0x1106, 0x3119, 0xff00, 0, 0x80, 0, readViaEepromVelocity,
     writeViaEepromVelocity, fillViaEepromAsset},
    {"jme", "Jmicronethernet", 0x197b, 0x0260, 0xffff, 0, 0x80, 0, readJmicronEeprom,
     writeJmicronEeprom, fillJmicronEepromAsset},
    {nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};

IXO_API pcidev_row *scan_proc_bus_pci(void) {
    lastFound = nullptr;
    std::string path = device::devicePath("/proc/bus/pci/devices");
    File list(std::fopen(path.c_str(), "r"));
    if (!list) {
        IXO_LOG(IXO_ERROR, "cannot open %s: %s", path.c_str(), std::strerror(errno));
        std::puts("Failed to open /proc/bus/pci/devices.");
        return nullptr;
    }
    // A longer line is read in pieces, each parsed as a line of its own.
    char line[514];
    while (std::fgets(line, sizeof line, list.get()) != nullptr) {
        if (debug > 0) {
            std::printf(" Parsing line -- %s \n", line);
        }
        unsigned int slot = 0;
        unsigned int vendorDevice = 0;
        unsigned int irq = 0;
        unsigned int base0 = 0;
        unsigned int base1 = 0;
        if (std::sscanf(line, "%x %x %x %x %x", &slot, &vendorDevice, &irq, &base0, &base1) < 1) {
            IXO_LOG(IXO_NOTICE, "PCI list line without a number ends the scan");
            return nullptr;
        }
        for (pcidev_row *row = pcidev_tbl; row->vendor_id != 0; ++row) {
            // The mask plays no part: IDs match exactly.
            unsigned int wanted = (static_cast<unsigned int>(row->vendor_id) << 16) +
                                  static_cast<unsigned int>(row->device_id);
            if (wanted != vendorDevice) {
                continue;
            }
            row->io_addr = row->device_id == kJmicronDevice
                               ? kJmicronSmbusBase
                               : static_cast<unsigned short>(base0 & 0xFFFEu);
            std::printf("Found a %s adapter at %#x.\n", row->long_name, row->io_addr);
            IXO_LOG(IXO_PROGRESS, "found %s at %#x", row->long_name, row->io_addr);
            lastFound = row;
            return row;
        }
    }
    if (std::ferror(list.get())) {
        IXO_LOG(IXO_ERROR, "reading %s failed", path.c_str());
    }
    return nullptr;
}

IXO_API int ixoEepromController(IxoEepromController *out) {
    if (out == nullptr) {
        IXO_LOG(IXO_ERROR, "null controller");
        return -1;
    }
    if (lastFound == nullptr) {
        return -1;
    }
    out->shortName = lastFound->short_name;
    out->longName = lastFound->long_name;
    out->ioBase = lastFound->io_addr;
    out->family = eeprom::familyOfRow(*lastFound);
    return 0;
}

IXO_API int readEepromAssetValues(unsigned char *record) {
    if (record == nullptr) {
        IXO_LOG(IXO_ERROR, "null asset record");
        return -1;
    }
    pcidev_row *row = eeprom::prepareTransfer();
    if (row == nullptr) {
        return -1;
    }
    // Values from a read that did not happen would be the fill or zeros, not
    // the device's: no slot is filled then.
    if (row->read_eeprom(row->io_addr, eeprom_contents) != 1) {
        IXO_LOG(IXO_ERROR, "the %s did not complete the EEPROM read", row->long_name);
        return -1;
    }
    row->fill_asset(eeprom_contents, record);
    return 0;
}

IXO_API int writeEepromAssetValues(unsigned char *record) {
    if (record == nullptr) {
        IXO_LOG(IXO_ERROR, "null asset record");
        return -1;
    }
    pcidev_row *row = eeprom::prepareTransfer();
    if (row == nullptr) {
        return -1;
    }
    // The values not requested are written back as the device holds them;
    // without a complete read they would be overwritten with the fill.
    IXO_LOG(IXO_PROGRESS, "Calling read eeprom");
    if (row->read_eeprom(row->io_addr, eeprom_contents) != 1) {
        IXO_LOG(IXO_ERROR, "the %s did not complete the EEPROM read: nothing written",
                row->long_name);
        return -1;
    }
    IXO_LOG(IXO_PROGRESS, "Calling write eeprom");
    if (row->write_eeprom(row->io_addr, eeprom_contents, record) != 1) {
        IXO_LOG(IXO_ERROR, "the %s did not complete the EEPROM write", row->long_name);
        return -1;
    }
    return 0;
}

}  // extern "C"
