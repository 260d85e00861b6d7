// The controller families' image layouts (ixo/eeprom.h describes the
// table) and the steps every family's operations share: moving the
// requested values between the image and the record, and storing the
// checksums afresh.
#pragma once

#include "ixo/eeprom.h"

namespace eeprom {

// Rhine and Velocity share a layout under two names.
const IxoEepromFamily &rhineFamily();
const IxoEepromFamily &velocityFamily();
const IxoEepromFamily &realtekFamily();
const IxoEepromFamily &jmicronFamily();

// The family of a table row, told by its write operation; null for none.
// *writeImage, when asked for, is the family's whole-image write (null for
// a family whose operations never reach the EEPROM).
using ImageWrite = bool (*)(unsigned short ioBase, const unsigned char *image);
const IxoEepromFamily *familyOfRow(const pcidev_row &row, ImageWrite *writeImage = nullptr);

// Where the family keeps the value of a request bit.
const IxoEepromPlace &placeOf(const IxoEepromFamily &family, unsigned char bit);
// Where a checksum is held in the image.
unsigned char *checksumAt(const IxoEepromChecksum &checksum, unsigned char *image);

// Every requested value the family serves, from 0x01 upward: into its slot
// (a read), or into the image (a write). Slots of other bits stay as they are.
void fillRecord(const IxoEepromFamily &family, const unsigned char *image,
                unsigned char *record);
void mergeRecord(const IxoEepromFamily &family, unsigned char *image,
                 const unsigned char *record);
// The active checksum first: the full one may cover it.
void storeChecksums(const IxoEepromFamily &family, unsigned char *image);

}  // namespace eeprom
