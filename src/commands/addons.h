// Add-on packages: the device's installer and deinstaller scripts, the
// desktop refresh after they ran, and the agent's own upgrade.
#pragma once

#include <cstddef>
#include <string>

#include "ixo/agent.h"

namespace commands {

// Where the installer and deinstaller write their one-line outcome.
extern const char addonOutcomeFile[];

// The longest command line the device's shell is handed. A longer one is
// refused whole: cut, it would install or remove something else.
constexpr size_t maximumCommandLine = 8191;

// The last component of a path as POSIX basename(3) gives it: trailing
// slashes dropped, "/" for a path of slashes only, "." for "".
std::string lastPathComponent(const std::string &path);

// Runs an installer or deinstaller line and reads its outcome file. 0 on
// success (the desktop is refreshed then); -1 with an allocated error class,
// and for an "error" outcome the installer's reason as message.
int installerSystemCall(const char *commandLine, const char *pipePath, char **errorClass,
                        char **message);

// After an installer run: the window manager on OS 6.3.0, else the
// connection manager.
void restartDesktop();

// The device's OS version ("6.2.0" when the registry cannot be read) into
// version, at most size bytes. handle 0: the function opens and closes the
// temporary registry itself. -1 only for a null or empty buffer.
int getV6Version(int handle, char *version, int size);
// 0 when the first three dot-separated segments are equal texts (or either
// argument is null), else 1. Only the first 9 characters of a segment count.
int V6VersionCompare(const char *first, const char *second);
// Copies the segment at the front of text (up to "." or the end, at most
// capacity - 1 characters) into field and returns the text after the ".",
// or the empty rest at the end.
const char *nextVersionSegment(const char *text, char *field, int capacity);

// The agent upgrade for a downloaded package at localPath (a device path),
// with the installer line for it: installs it in place of the set-aside
// agent, then leaves a detached process that stops the agent and reboots.
// keepLockout is set on success: the lock screen stays up until the reboot.
// Same result and outputs as a handler.
int upgradeAgent(const std::string &localPath, const std::string &installLine, bool *keepLockout,
                 char **errorClass, char **message);

}  // namespace commands
