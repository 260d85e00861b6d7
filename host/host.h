// The development agent's own interface: how main.cpp, the tests and the
// benchmarks configure the agent services and read command files. The services
// the library calls are declared in include/ixo/agent.h.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ixo/agent.h"

namespace agent {

// ---- device root --------------------------------------------------------
// The agent's services (deletion, registry, downloads, SMBIOS) resolve device
// paths under the same root as the library. "" means the real device.
void setDeviceRoot(const std::string &root);
const std::string &deviceRoot();
// The host path for a device path, resolved inside a simulated device's root
// as the device would see it, a link in the last component followed: for
// opening and reading. "" (the reason logged) when it cannot be resolved.
std::string devicePath(const std::string &path);
// The same with a link in the last component kept: for lstat, unlink,
// rename and O_EXCL creation, which act on the name itself.
std::string deviceEntryPath(const std::string &path);

// ---- logging --------------------------------------------------------------
// Messages above the level are dropped; the default is 3.
void setLogLevel(int level);
int logLevel();
// Appends to the file from now on; "" goes back to standard error.
// False (and nothing changed) when the file cannot be opened.
bool setLogFile(const std::string &path, std::string *error);
// The file the log goes to; "" for standard error.
std::string logFile();
// The error messages (level 1) logged since the last clearRecentErrors(),
// whatever the log level: the reasons of a command that failed without a
// message. Only the last kRecentErrorLines are kept, each cut to
// kRecentErrorLength bytes, as one line with passwords in URLs hidden.
constexpr size_t kRecentErrorLines = 20;
constexpr size_t kRecentErrorLength = 1024;
void clearRecentErrors();
std::vector<std::string> recentErrors();

// ---- services ---------------------------------------------------------------
// pSleep calls this function instead of sleeping when one is set (tests
// record the waits); nullptr restores real sleeping.
using SleepFunction = void (*)(int seconds);
void setSleepFunction(SleepFunction function);
SleepFunction sleepFunction();
// The download user name and password that getUserCredentials hands out.
void setCredentials(const std::string &user, const std::string &password);
// The table handed to initPlatformSpecificCommands.
AgentFunctionTable *functionTable();

// ---- command records ------------------------------------------------------
struct CommandDeleter {
    void operator()(IxoCommand *command) const;
};
using CommandPtr = std::unique_ptr<IxoCommand, CommandDeleter>;

// Parse a command file (format in README.md). On failure returns null and
// sets error to "FILE:LINE: reason".
CommandPtr loadCommandFile(const std::string &path, std::string *error);
// The same for a document in memory; sourceName stands for the file name.
CommandPtr parseCommand(const std::string &xml, const std::string &sourceName,
                        std::string *error);

// ---- char buffers -----------------------------------------------------------
struct CharBufferDeleter {
    void operator()(IxoCharBuffer *buffer) const { freeAllCharBuffers(buffer); }
};
using CharBufferPtr = std::unique_ptr<IxoCharBuffer, CharBufferDeleter>;
// The buffer's bytes as a string (empty for null).
std::string charBufferString(IxoCharBuffer *buffer);

}  // namespace agent
