// The simulated thin client's on-board network controller: its PCI entry,
// its EEPROM kept in a file of the device root, and register-level models of
// the controllers on the simulated port bus.
//
// Families: "rhine" (93C46 bit-banged through EECSR), "velocity" (embedded
// EEPROM engine), "realtek" (named in the PCI list; its EEPROM is never
// driven, so it gets no model) and "jmicron" (SMBus master with a 256-byte
// serial EEPROM).
//
// Time on the bus: every port access, delay units (port 0x61 reads) included,
// counts as one unit, about a microsecond on the device. Write cycles and
// SMBus transactions last a number of these units (NicTiming).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Device paths inside the root.
extern const char kNicFamilyFile[];  // "/etc/sim/nic": the family's name
extern const char kNicEepromFile[];  // "/var/lib/sim/nic-eeprom.bin": the EEPROM, byte for byte
extern const char kNicFaultFile[];   // "/etc/sim/nic.fault": a fault set when the model is attached

// The four families, in the order above.
const std::vector<std::string> &nicFamilies();

// Puts a freshly made network controller of the family into the device:
// the /proc/bus/pci/devices list of its board (the controller's line among
// the chipset's), its factory EEPROM image and the family's name. A
// controller already there is replaced with its EEPROM. False with a reason
// for an unknown family or when the files cannot be written.
bool writeNicDevice(const std::string &root, const std::string &family, std::string *error);
// The family the root's controller belongs to; "" when it has none.
std::string nicFamily(const std::string &root);

// Attaches the root's controller model to the port bus at the I/O base of
// its PCI entry. The model works on the EEPROM file: what it programs is
// written through to the file at once. Realtek attaches nothing and
// succeeds. Attaching the same root again while its model is on the bus
// does nothing. A fault named in the root's nic.fault knob is set (so an
// agent run can meet a failing controller). False with a reason when the
// root has no controller, its files are damaged, or its ports are taken.
bool attachNicModel(const std::string &root, std::string *error);

// The EEPROM content as the attached model holds it now, else as the root's
// file holds it (128 bytes; 256 for jmicron). Empty when there is none.
std::vector<uint8_t> nicEeprom(const std::string &root);
// Replaces the EEPROM content (same size as the family's), in the file and
// in the attached model.
bool setNicEeprom(const std::string &root, const std::vector<uint8_t> &content,
                  std::string *error);

// Faults of the attached controller, until changed or resetPortBus():
//   "none"
//   "refuse"  rhine: EECSR shows bits 0x70 and the EEPROM lines stay with the
//             controller; velocity: EECSR shows bits 0x30 and commands do
//             not run; jmicron: the EEPROM does not acknowledge, every
//             transaction ends with error bit 0x200000.
//   "busy"    rhine: a write cycle never ends (DO shows busy for good, the
//             word keeps its old value); velocity: commands never finish;
//             jmicron: the SMBus busy bits (0x0F) stay set.
//   "timeout" rhine and velocity: as "busy"; jmicron: the command bit
//             (0x10) of the interface register never clears.
//   "stuck"   every family: the cells keep their content. Programming is
//             carried out and acknowledged as usual (ready, done, ack) but
//             changes nothing, as with worn-out or write-protected cells.
// Throws std::invalid_argument for any other name.
void setNicFault(const std::string &fault);

// How long the devices take, in bus units. Until changed or resetPortBus().
struct NicTiming {
    // 93C46 self-timed programming cycle (tWP), rhine.
    unsigned long microwireWriteCycle = 2000;
    // Reads of the command register that still find a command running,
    // velocity (0: done at the first read).
    unsigned int velocityCommandPolls = 2;
    // An SMBus byte read and byte write transaction at 100 kHz, jmicron.
    unsigned long smbusReadTime = 380;
    unsigned long smbusWriteTime = 280;
    // The serial EEPROM's internal write cycle after a byte write; it does
    // not acknowledge meanwhile, jmicron.
    unsigned long smbusEepromWriteCycle = 3000;
};
void setNicTiming(const NicTiming &timing);
NicTiming nicTiming();

// What the attached model has seen since it was attached.
struct NicStats {
    unsigned long registerReads = 0;   // accesses to the controller's ports
    unsigned long registerWrites = 0;
    unsigned long eepromReads = 0;     // words (rhine, velocity) or bytes (jmicron) read
    unsigned long eepromWrites = 0;    // words or bytes programmed
    unsigned long ignoredWrites = 0;   // writes the EEPROM did not carry out
};
NicStats nicStats();

// The EEPROM operations the attached model carried out or refused, in
// order, one line each, for example "EWEN", "READ 0x05", "WRITE 0x05=0x1234",
// "WRITE 0x05=0x1234 ignored: write disabled", "READ 0x50 nack".
// The first 20000 are kept.
std::vector<std::string> nicOperations();
void clearNicOperations();

}  // namespace sim
