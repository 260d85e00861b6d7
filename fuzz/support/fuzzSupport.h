// What every fuzz target shares: the device seams set so that nothing the
// library does can reach this machine, and small helpers for the checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/host.h"

namespace fuzz {

// Sets the seams once per process: the device root an empty directory in
// $TMPDIR (or /tmp), a runner that runs nothing, the simulated port bus, the
// agent's log formatted but discarded. The directory is removed at exit.
void installSafeSeams();
// The temporary directory of this process.
const std::string &workDirectory();
// Points the library and the agent at root (a directory under workDirectory())
// with the refusing runner.
void useDeviceRoot(const std::string &root);
// Builds a simulated device in workDirectory()/device and points the library
// and the agent there with runner (one that runs nothing on it); returns its
// root. Aborts when the device cannot be built.
std::string useSimulatedDevice(int (*runner)(const char *commandLine));
// The input as a command file, parsed as the agent parses one; null with the
// reason in *error when the agent would refuse it.
agent::CommandPtr parseInput(const uint8_t *data, size_t size, std::string *error);
// Writes content to path, creating the file; aborts when it cannot.
void writeFile(const std::string &path, const std::string &content);
// Removes a directory tree.
void removeTree(const std::string &dir);

// Runners: both record nothing and run nothing.
int refusingRunner(const char *commandLine);  // as if the shell could not start
int succeedingRunner(const char *commandLine);  // as if the program succeeded

// Reports a broken property and aborts, so that libFuzzer keeps the input.
[[noreturn]] void fail(const char *what, const std::string &detail);

}  // namespace fuzz

#define FUZZ_CHECK(condition, detail)                    \
    do {                                                 \
        if (!(condition)) {                              \
            ::fuzz::fail(#condition, (detail));          \
        }                                                \
    } while (0)
