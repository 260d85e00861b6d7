// Attaching a simulated device to the program that hosts the library: the
// library's three seams, the host services' own device root and registry-hook
// runner, and the root the simulator's runners run in, all pointed at one
// device. The host services (agent/) must be linked in, as they are in every
// program that hosts the library.
#pragma once

#include <string>

#include "ixo/seams.h"

namespace sim {

// The library's seam setters: ixoAgent reaches them through the library it
// loaded, the programs that link the library take its own.
struct LibrarySeams {
    void (*setDeviceRoot)(const char *root);
    void (*setCommandRunner)(IxoCommandRunner runner);
    void (*setPortIo)(const IxoPortIo *io);
};
inline LibrarySeams linkedLibrarySeams() {
    return {ixoSetDeviceRoot, ixoSetCommandRunner, ixoSetPortIo};
}

// Points the library, the host services and the simulator's runners at the
// device in root; the library and the registry hook run their lines with
// runner. The port bus is reset and becomes the library's port I/O, with
// the device's network controller on it when it has one (a root that is no
// simulated device gets an empty bus). False with the reason when the
// controller cannot be attached; everything else is set even then.
bool attachDevice(const LibrarySeams &seams, const std::string &root, IxoCommandRunner runner,
                  std::string *error);

// The same without touching the port bus: the models on it stay as they
// are. For a user that moves between devices and attaches the controller
// models itself or not at all.
void useDeviceRoot(const LibrarySeams &seams, const std::string &root, IxoCommandRunner runner);

}  // namespace sim
