// What ixoAgent knows of each network controller family's EEPROM: which
// asset values it stores and where they sit in the library's 128-byte
// image, its checksums, and how much of the image reaches the device. Every
// EEPROM command of the agent takes this knowledge from here.
#pragma once

#include <string>
#include <vector>

#include "agent/platformLibrary.h"
#include "ixo/eeprom.h"

namespace agent {

enum class ChecksumSum { None, Bytes, Words };

// A checksum the family keeps: the negated sum of the bytes or 16-bit words
// first to last, held in byte or word `stored`, so that they add up to 0.
struct ChecksumRule {
    ChecksumSum sum;
    int first;
    int last;
    int stored;
};

struct EepromFamily {
    const char *name;             // as sim-init --nic and restore --family name it
    const char *rowOperation;     // the library's write operation of its table rows
    unsigned char storedBits;     // the request bits whose values its EEPROM stores
    const char *notStoredReason;  // why the others are not stored
    int storedBytes;              // the leading image bytes that reach the EEPROM
    int unitBytes;                // the EEPROM's unit: 2 (16-bit words) or 1 (bytes)
    unsigned firstAddress;        // the EEPROM address of image byte 0, in units
    // Byte offsets of the values in the image; -1 where the layout has none.
    int serialOffset;
    int keyOffset;
    int revisionOffset;
    int macOffset;
    int cmosOffset;
    ChecksumRule active;
    ChecksumRule full;
};

const std::vector<EepromFamily> &eepromFamilies();
const EepromFamily *familyNamed(const std::string &name);
std::vector<std::string> familyNames();
// The family of a row of the library's controller table; null when its
// operations are none the agent knows.
const EepromFamily *familyOfRow(const PlatformLibrary &library, const pcidev_row &row);

// Whether the family stores the value of a request bit. Without a family
// (no controller found) nothing is known to be missing.
bool storesValue(const EepromFamily *family, unsigned char bit);

struct ChecksumState {
    bool kept = false;
    unsigned value = 0;
    int digits = 0;  // hexadecimal digits of the value: 2 or 4
    bool valid = false;
};
ChecksumState checksumState(const ChecksumRule &rule, const unsigned char *image);
// Puts the bytes a write of a request bit takes (11 of a serial number, 4
// of a key, 42 of a CMOS block) into the image and stores the checksums
// afresh, as the library's write does.
void mergeValue(const EepromFamily &family, unsigned char bit,
                const std::vector<unsigned char> &value, unsigned char *image);
// Where a request bit's value sits in the image; -1 for none.
int valueOffset(const EepromFamily &family, unsigned char bit);

// The EEPROM's units (words or bytes) that differ between two images, within
// what reaches the device.
struct UnitChange {
    unsigned address;
    unsigned from;
    unsigned to;
};
std::vector<UnitChange> changedUnits(const EepromFamily &family, const unsigned char *from,
                                     const unsigned char *to);
const char *unitName(const EepromFamily &family);
// "0x3c4d" for a word, "0x4d" for a byte.
std::string unitText(const EepromFamily &family, unsigned value);

}  // namespace agent
