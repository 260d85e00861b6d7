// Pieces of the simulated device's root file system, put together by
// buildDevice.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

// A file holding device state: written with its initial content on a new
// device, kept as it is on a refresh.
struct StateFile {
    const char *path;
    const char *initialContent;
};
// The registries of a freshly imaged device.
extern const StateFile kRegistryFiles[];
extern const size_t kRegistryFileCount;

// Copies the host's static busybox to root/bin/busybox and links the applets
// the device's scripts use.
bool installBusybox(const std::string &root, std::string *error);
// A real /dev/null (character device 1,3).
bool makeDevNull(const std::string &root, std::string *error);
// /proc/mounts (kept when there), /proc/meminfo and /proc/cpuinfo.
bool writeProcFiles(const std::string &root, std::string *error);
// What makes the device its platform (the one chosen, else the one it was,
// else the default): sys's answers, DMI and OEM strings, /proc/bios and the
// drives.
bool writePlatformFiles(const std::string &root, const std::string &chosen, std::string *error);

}  // namespace sim
