// The simulated thin client: a device root in a directory, stand-in device
// programs, the chroot runner and the simulated port bus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ixo/seams.h"

namespace sim {

// ---- device root ----------------------------------------------------------
// What a device is made of; "" keeps what an existing device has (a new one
// gets a Rhine controller and the first of platformNames()).
struct DeviceChoice {
    std::string nic;       // a family of nicFamilies()
    std::string platform;  // a name of platformNames()
};
// Lays out a simulated device in dir. A new one is built beside dir and
// renamed into place when whole (dir may be missing or an empty directory);
// a build that fails leaves no device there. An existing simulated device is
// refreshed in place, each file it changes replaced whole, its registries,
// logs and EEPROM kept. Building needs root: /dev/null is made with mknod.
// False with a reason when it cannot be built, or when dir already holds
// files that are no simulated device.
bool buildDevice(const std::string &dir, std::string *error);
bool buildDevice(const std::string &dir, const DeviceChoice &choice, std::string *error);
// True when dir holds a simulated device built by buildDevice.
bool isDevice(const std::string &dir);

// The root that chrootRunner and recordingRunner run command lines in.
void setRoot(const std::string &dir);
const std::string &root();

// ---- runners ----------------------------------------------------------------
// Runs the line as system(3) would, but with /bin/sh of the root: fork, chroot,
// chdir("/"), execl("/bin/sh", "sh", "-c", line); returns the wait status,
// -1 when it could not fork, a status of 127 when the shell could not start.
int chrootRunner(const char *commandLine);
// Records every line, then runs it with chrootRunner when a simulated root is
// set; with no root it runs nothing and returns the set result (default 0).
int recordingRunner(const char *commandLine);
std::vector<std::string> recordedLines();
void clearRecordedLines();
void setRecordingResult(int status);
// A file that recordingRunner also appends every line to, each ended by a
// NUL (a line may hold line breaks), so that lines run by another process
// (ixoAgent with IXO_SHELL_LINE_LOG set) can be read back; "" stops it.
void setLineLog(const std::string &path);
std::vector<std::string> readLineLog(const std::string &path);

// ---- stand-in programs -------------------------------------------------------
// The lines the stand-ins appended to /var/log/device-programs.log, one per
// run: the program's device path name and its arguments, blank-separated.
std::vector<std::string> programLog(const std::string &root);
void clearProgramLog(const std::string &root);
// Knobs: /etc/sim/NAME under the root. The stand-ins read NAME.exit (their
// exit code) and, where they print something, NAME.out.
void setKnob(const std::string &root, const std::string &name, const std::string &value);
void removeKnob(const std::string &root, const std::string &name);

// ---- mount table --------------------------------------------------------------
// The options field of the first line of the root's /proc/mounts whose mount
// point is mountPoint and whose device is not "rootfs"; "" when none.
std::string mountOptions(const std::string &root, const std::string &mountPoint);
// Sets that options field (the stand-ins rw and ro do the same for "/").
bool setMountOptions(const std::string &root, const std::string &mountPoint,
                     const std::string &options);

// ---- platform and drives ------------------------------------------------------
// One entry of a master boot record's partition table (index 0 to 3).
struct PartitionEntry {
    int index;
    uint8_t bootIndicator;
    uint8_t type;
    uint32_t startSector;
    uint32_t sectorCount;
};
// Sector 0 of a disk: the start of the usual boot code, a disk signature,
// the entries and, unless told otherwise, the 0x55 0xAA signature.
std::string masterBootRecord(const std::vector<PartitionEntry> &entries, bool withSignature = true);
// The platforms a simulated device can be: codenames of the library's
// platform table. The first is the default.
std::vector<std::string> platformNames();
// True when name (in any case) is one of them.
bool isPlatformName(const std::string &name);
// Makes the device at root that platform (name in any case): what `sys`
// answers, the DMI and OEM strings, /proc/bios, /tmp/FixedDevice and the
// drives, the flash drive partitioned as the platform's image is. False with
// a reason for an unknown name.
bool setPlatform(const std::string &root, const std::string &name, std::string *error);
// The platform the device at root is ("" when it has none).
std::string platformOf(const std::string &root);

// ---- port bus -------------------------------------------------------------------
// A device model attached to a range of ports. read and write receive the
// port and the access width in bytes (1, 2 or 4).
struct PortModel {
    uint16_t firstPort;
    uint16_t portCount;
    void *context;
    uint32_t (*read)(void *context, uint16_t port, int width);
    void (*write)(void *context, uint16_t port, int width, uint32_t value);
};
// The IxoPortIo that routes accesses to the attached models. Port 0x61 reads
// count delay units; unclaimed ports read as all ones and ignore writes.
const IxoPortIo *portBus();
void attachPortModel(const PortModel &model);
// Detaches every model and clears the counters.
void resetPortBus();
// How many times resetPortBus has run in this process; a model attached
// since the last reset is still on the bus.
unsigned long portBusResets();
unsigned long delayUnits();
unsigned long portAccesses();
// The I/O privilege level the last successful iopl set (0 after a reset),
// and the accesses made below level 3: each would fault on the device.
int ioPrivilegeLevel();
unsigned long unprivilegedAccesses();
// The levels passed to iopl, in order; failIopl makes the next calls fail.
std::vector<int> ioplCalls();
void failIopl(bool fail);

}  // namespace sim
