// Shared inside the imaging-asset module: running an inventory command,
// reading a drive's first sector and decoding its partition table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ixo/platform_data.h"

namespace assets {

// Every inventory command prints one short line; its output buffer is this
// big, NUL included.
constexpr size_t kCommandOutputSize = 512;
// The file each command's standard output goes to, left in place afterwards.
constexpr char kCommandOutputFile[] = "/tmp/output.txt";

// Runs "COMMAND > /tmp/output.txt" on the device and copies what it printed
// into output (kCommandOutputSize bytes, always NUL-terminated; a longer
// output is cut). 0, or -1 when the command could not be run or its output
// not be opened. The command's exit status is not looked at.
int readCommandOutput(const char *command, char *output);

constexpr size_t kSectorSize = 512;

enum class SectorRead { Done, NotOpened, ShortRead };
// Reads sector 0 of the drive at a device path, read-only. openedFd, when
// given, receives the descriptor the open returned (-1 on failure).
SectorRead readFirstSector(const std::string &devicePath, unsigned char *sector,
                           int *openedFd = nullptr);

// One WriteableMediaEntry per used partition entry of the sector's MBR, or one
// for the whole disk when it has none or no signature. channel and drive are
// recorded for "ide" entries only.
void addMediaPartitions(const unsigned char *sector, PlatformData *platformData, int channel,
                        int drive, const char *deviceName);

// A request record of the EEPROM layer (ixo/eeprom.h): request bits in byte 0,
// zero-filled slots. Null when it cannot be allocated.
using AssetRecord = std::unique_ptr<unsigned char[]>;
AssetRecord newAssetRecord(unsigned char requestBits);
// The security key as the record's key slot holds it: 4 bytes, low first.
uint32_t keyOf(const unsigned char *bytes);

}  // namespace assets
