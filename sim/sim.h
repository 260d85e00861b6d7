// The simulated thin client: a device root in a directory, stand-in device
// programs, the chroot runner and the simulated port bus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ixo/seams.h"

namespace sim {

// ---- device root ----------------------------------------------------------
// Lays out a simulated device in dir (created when missing; an existing
// simulated device there is refreshed, its registries and logs kept).
// False with a reason when it cannot be built, or when dir already holds
// files that are no simulated device.
bool buildDevice(const std::string &dir, std::string *error);
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
unsigned long delayUnits();
unsigned long portAccesses();
// The levels passed to iopl, in order; failIopl makes the next calls fail.
std::vector<int> ioplCalls();
void failIopl(bool fail);

}  // namespace sim
