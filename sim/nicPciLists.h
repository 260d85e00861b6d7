// The boards the simulated network controllers come on, as the kernel lists
// their PCI functions in /proc/bus/pci/devices: the chipset's functions and
// the controller with its I/O and memory BARs.
#pragma once

#include <cstdint>
#include <string>

namespace sim::nic {

extern const char kPciDevices[];  // "/proc/bus/pci/devices"

struct PciBoard;
extern const PciBoard kRhineBoard;     // VIA CLE266/VT8235 with a Rhine
extern const PciBoard kRealtekBoard;   // the same chipset with a Realtek
extern const PciBoard kVelocityBoard;  // VIA CN700/VT8237 with a Velocity
extern const PciBoard kJmicronBoard;   // Atom/NM10 with a JMicron on PCI Express

// The board's list as the kernel prints it, the controller last.
std::string pciDevicesList(const PciBoard &board);
// The I/O base of the board's controller (its first I/O BAR) as the root's
// list gives it. False with a reason when the list cannot be read, does not
// name the controller or gives it no I/O ports.
bool findControllerIoBase(const std::string &root, const PciBoard &board, uint16_t *ioBase,
                          std::string *error);

}  // namespace sim::nic
