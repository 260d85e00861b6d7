// Shared inside the EEPROM layer: the delay unit, the asset record's slots,
// the image's words and the transfers' first steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ixo/eeprom.h"

namespace eeprom {

// n reads of the system control port (0x61), about a microsecond each on
// the device; every timing of the controllers counts in these.
void waitDelayUnits(unsigned long count);

// Where the value of a request bit lives in the record.
inline unsigned char *slot(unsigned char *record, int index) {
    return record + EEPROM_ASSET_SLOT(index);
}

inline bool requested(const unsigned char *record, unsigned char bit) {
    return (record[0] & bit) != 0;
}

// Word i of an image is bytes 2i and 2i+1, low byte first, whatever the
// host's byte order.
inline uint16_t imageWord(const unsigned char *image, int index) {
    return static_cast<uint16_t>(image[2 * index] | (image[2 * index + 1] << 8));
}

inline void setImageWord(unsigned char *image, int index, uint16_t word) {
    image[2 * index] = static_cast<unsigned char>(word & 0xFF);
    image[2 * index + 1] = static_cast<unsigned char>(word >> 8);
}

// The two's-complement negation of the 16-bit sum of words first..last,
// so that those words and the stored checksum add up to 0.
uint16_t negatedWordSum(const unsigned char *image, int first, int last);

// The VIA controllers (Rhine and Velocity) hold a 93C46: 64 words. Both
// open their EEPROM registers with the same bit of their configuration
// register (at a different offset in each).
constexpr int kViaWords = 64;
constexpr unsigned char kViaConfigAccess = 0x80;

// The VIA layout: merges the requested values of the record into the image
// and stores both checksums afresh (bytes 0-31 then words 0-63 sum to 0).
void mergeViaAssets(unsigned char *image, unsigned char *record);

// The steps every transfer takes first: a fresh image (the 0xFF fill), the
// I/O privilege, the controller. Null (with the messages printed) when the
// transfer cannot go on.
pcidev_row *prepareTransfer();

// The whole image written through the family's own word operations, as
// given; true only when the EEPROM took every word.
bool writeRhineImage(unsigned short ioBase, const unsigned char *image);
bool writeVelocityImage(unsigned short ioBase, const unsigned char *image);
bool writeJmicronImage(unsigned short base, const unsigned char *image);

// The Realtek rows' read operation: the table hands every read the image,
// which readRtlEeprom does not take.
int readRealtekRow(unsigned short ioBase, unsigned char *image);

}  // namespace eeprom
