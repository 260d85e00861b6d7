// Reading and changing a 128-byte EEPROM image by the controller family's
// table as the library reports it (ixoEepromFamilies, ixoEepromController):
// where a value sits, the state of the checksums, the image a write leaves,
// and the EEPROM's units (words or bytes) that differ between two images.
#pragma once

#include <string>
#include <vector>

#include "ixo/eeprom.h"

namespace agent {

// Whether the family stores the value of a request bit. Without a family
// (no controller found) nothing is known to be missing.
bool storesValue(const IxoEepromFamily *family, unsigned char bit);
// Where the family keeps the value of a request bit.
const IxoEepromPlace &placeOf(const IxoEepromFamily &family, unsigned char bit);

struct ChecksumState {
    bool kept = false;
    unsigned value = 0;
    int digits = 0;  // hexadecimal digits of the value: 2 or 4
    bool valid = false;
};
ChecksumState checksumState(const IxoEepromChecksum &rule, const unsigned char *image);
// Puts the bytes a write of a request bit takes into the image and stores
// the checksums afresh, as the library's write does.
void mergeValue(const IxoEepromFamily &family, unsigned char bit,
                const std::vector<unsigned char> &value, unsigned char *image);

// The EEPROM's units (words or bytes) that differ between two images, within
// what reaches the device.
struct UnitChange {
    unsigned address;
    unsigned from;
    unsigned to;
};
std::vector<UnitChange> changedUnits(const IxoEepromFamily &family, const unsigned char *from,
                                     const unsigned char *to);
const char *unitName(const IxoEepromFamily &family);
// "0x3c4d" for a word, "0x4d" for a byte.
std::string unitText(const IxoEepromFamily &family, unsigned value);

}  // namespace agent
