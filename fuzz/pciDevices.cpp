// The PCI list the EEPROM layer scans for a known network controller
// (/proc/bus/pci/devices): any file gives either no controller or one row of
// the table, with the port base the line gave.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "fuzz/support/fuzzSupport.h"
#include "ixo/eeprom.h"

namespace {

std::string root;
pcidev_row pristine[10];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::installSafeSeams();
    root = fuzz::workDirectory() + "/pci-root";
    for (const char *dir : {"", "/proc", "/proc/bus", "/proc/bus/pci"}) {
        mkdir((root + dir).c_str(), 0755);
    }
    fuzz::useDeviceRoot(root);
    std::memcpy(pristine, pcidev_tbl, sizeof pristine);
    debug = 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::writeFile(root + "/proc/bus/pci/devices",
                    std::string(reinterpret_cast<const char *>(data), size));
    std::memcpy(pcidev_tbl, pristine, sizeof pristine);
    pcidev_row *row = scan_proc_bus_pci();
    if (row != nullptr) {
        FUZZ_CHECK(row >= pcidev_tbl && row < pcidev_tbl + 9 && row->vendor_id != 0,
                   "the match is no row of the table");
        FUZZ_CHECK(row->io_addr % 2 == 0 || row->device_id == 0x0260, "odd port base");
    }
    return 0;
}
