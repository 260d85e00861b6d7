// The only way the library reaches the device: its files (through the device
// root), its programs (through the command runner) and its I/O ports. Set
// from outside with the functions of ixo/seams.h; unset, each is the real
// device.
#pragma once

#include <sys/types.h>

#include <string>

#include "ixo/seams.h"

namespace device {

// The host path for a device path. Under a simulated device's root it is
// resolved as the device would see it (".." stops at the root, links are
// device paths) and a link in the last component is followed: for opening,
// reading and executing. A relative path is taken from the root. "" when the
// path cannot be resolved there (a link loop, say): the reason is logged.
std::string devicePath(const std::string &path);
// The same with a link in the last component kept: for acting on the name
// itself (lstat, unlink, rename, creating it O_EXCL|O_NOFOLLOW).
std::string deviceEntryPath(const std::string &path);

// Runs a device command line as system(3) would and returns its status. The
// line keeps its device paths: a simulated device runs it inside its root.
int runDeviceCommand(const std::string &commandLine);

// One shell word for text that comes from outside (a command, the registry,
// a file, the environment): unchanged when it holds only characters no shell
// treats specially, else single-quoted, so that it reaches the program as
// exactly one argument, byte for byte.
std::string shellQuote(const std::string &text);

// The line run as root on the device: sudo su -c "INNER". INNER is taken
// as the command line su's shell should see; the characters the outer shell
// would still act on inside double quotes (\ " $ `) are escaped, so text
// quoted with shellQuote inside INNER reaches the program as one argument
// through both shells.
std::string sudoSuLine(const std::string &innerLine);

// Makes the file at a device path under /tmp afresh, removing whatever stood
// at that name (a planted link is removed, never followed), and returns it
// open for writing; -1 with the reason when it cannot.
int createFreshFile(const std::string &path, mode_t mode, std::string *error);
// The same for a capture file a redirection will fill: empty, 0600, closed.
bool createCaptureFile(const std::string &path, std::string *error);
// Opens such a file to read back what the program wrote, only while it is a
// regular file of root (or of this process's effective user): a link, a FIFO
// or another user's file put at the name is refused. -1 with the reason;
// missing is set when nothing stands at the name.
int openCaptureFileForReading(const std::string &path, bool *missing, std::string *error);

// The window manager's control file (/tmp/qvwm-:0.0), which root's shell
// appends to with ">>". False, with the reason, when a symbolic link stands
// at its name (or the name cannot be examined): a line appending to it must
// not run then.
bool windowManagerControlFileUsable(std::string *error);

// The C library's system(), for command lines that belong to the host and
// not to the device (registry test mode). Null with the reason when it cannot
// be found.
using HostSystemFunction = int (*)(const char *commandLine);
HostSystemFunction lookUpHostSystem(std::string *error);

// iopl and port access: the installed table, or the real instructions.
const IxoPortIo &portIo();

}  // namespace device
