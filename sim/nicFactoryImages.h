// The EEPROM content each simulated network controller leaves the factory
// with: the controller's own area (station address, IDs, its checksum) and
// the maker's asset values (serial number, revision, security key).
#pragma once

#include <cstdint>
#include <vector>

namespace sim::nic {

std::vector<uint8_t> rhineFactoryImage();     // 128 bytes
std::vector<uint8_t> velocityFactoryImage();  // 128 bytes
std::vector<uint8_t> realtekFactoryImage();   // 128 bytes
std::vector<uint8_t> jmicronFactoryImage();   // 256 bytes

}  // namespace sim::nic
