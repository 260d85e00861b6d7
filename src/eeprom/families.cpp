// One table per controller family: which request bits its operations
// serve, where each value and checksum sits in the 128-byte image, and how
// much of the image reaches the EEPROM. The families' operations move
// values and store checksums by this table, and the tools ask for it
// (ixoEepromFamilies, ixoEepromController).
#include "eeprom/families.h"

#include <cstring>

#include "eeprom/eepromInternal.h"

namespace {

constexpr int slotOf(unsigned char bit) {
    // The hardware revision lives in slot 3 and the station address in slot 2.
    switch (bit) {
    case ASSET_SERIAL_NUMBER:
        return 0;
    case ASSET_SECURITY_KEY:
        return 1;
    case ASSET_HARDWARE_REVISION:
        return 3;
    case ASSET_MAC_ADDRESS:
        return 2;
    case ASSET_ACTIVE_CHECKSUM:
        return 4;
    case ASSET_FULL_CHECKSUM:
        return 5;
    case ASSET_CMOS_VALUE:
        return 6;
    default:
        return 7;
    }
}

constexpr IxoEepromPlace place(unsigned char bit, int readOffset, int readBytes, int writeOffset,
                               int writeBytes) {
    return {bit, slotOf(bit), readOffset, readBytes, writeOffset, writeBytes};
}

// A value read and written at the same place.
constexpr IxoEepromPlace place(unsigned char bit, int offset, int readBytes, int writeBytes) {
    return place(bit, offset, readBytes, offset, writeBytes);
}

constexpr IxoEepromPlace unserved(unsigned char bit) { return place(bit, -1, 0, -1, 0); }

constexpr unsigned char kUnassigned = 0x80;
constexpr unsigned char kViaBits = ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY |
                                   ASSET_HARDWARE_REVISION | ASSET_MAC_ADDRESS |
                                   ASSET_ACTIVE_CHECKSUM | ASSET_FULL_CHECKSUM;
constexpr IxoEepromChecksum kNoChecksum = {IXO_EEPROM_SUM_NONE, 0, 0, 0};
constexpr int kSerialRead = ASSET_SERIAL_NUMBER_BYTES + 1;  // and the byte after it

// The VIA layout, which the Rhine and the Velocity share: the station
// address and the controller's configuration in bytes 0-30 under an 8-bit
// checksum, the maker's values from byte 40, and a checksum over all words.
constexpr IxoEepromFamily viaFamily(const char *name) {
    return {name,
            "a VIA controller's EEPROM holds no CMOS block",
            kViaBits,
            kViaBits,
            {place(ASSET_SERIAL_NUMBER, 52, kSerialRead, ASSET_SERIAL_NUMBER_BYTES),
             place(ASSET_SECURITY_KEY, 44, 4, 4), place(ASSET_HARDWARE_REVISION, 40, 4, 4),
             place(ASSET_MAC_ADDRESS, 0, 6, 6), place(ASSET_ACTIVE_CHECKSUM, 31, 1, 1),
             place(ASSET_FULL_CHECKSUM, 126, 2, 2), unserved(ASSET_CMOS_VALUE),
             unserved(kUnassigned)},
            {IXO_EEPROM_SUM_BYTES, 0, 30, 31},
            {IXO_EEPROM_SUM_WORDS, 0, 62, 63},
            EEPROM_IMAGE_SIZE,
            2,
            0};
}

enum FamilyIndex { kRhine, kVelocity, kRealtek, kJmicron };

const IxoEepromFamily kFamilies[] = {
    viaFamily("rhine"),
    viaFamily("velocity"),
    // The controller's own words 0-24 under the active checksum, the
    // maker's asset area (CMOS block, serial number, revision, key) under
    // the full one. Its operations never load the image from the device nor
    // store it there: none of the values is the EEPROM's.
    {"realtek",
     "the library's Realtek operations never reach the EEPROM",
     kViaBits | ASSET_CMOS_VALUE,
     0,
     {place(ASSET_SERIAL_NUMBER, 104, kSerialRead, ASSET_SERIAL_NUMBER_BYTES),
      place(ASSET_SECURITY_KEY, 120, 4, 4), place(ASSET_HARDWARE_REVISION, 116, 4, 4),
      place(ASSET_MAC_ADDRESS, 14, 6, 6), place(ASSET_ACTIVE_CHECKSUM, 50, 2, 2),
      place(ASSET_FULL_CHECKSUM, 126, 2, 2),
      // A read hands out the whole image.
      place(ASSET_CMOS_VALUE, 0, EEPROM_IMAGE_SIZE, 62, ASSET_CMOS_VALUE_BYTES),
      unserved(kUnassigned)},
     {IXO_EEPROM_SUM_WORDS, 0, 24, 25},
     {IXO_EEPROM_SUM_WORDS, 31, 61, 63},
     0,
     2,
     0},
    // The image's first 25 bytes are EEPROM bytes 0x40-0x58, the maker's
    // window; the security key is at 0x50-0x53.
    {"jmicron",
     "the JMicron's EEPROM window holds only the security key",
     ASSET_SECURITY_KEY,
     ASSET_SECURITY_KEY,
     {unserved(ASSET_SERIAL_NUMBER), place(ASSET_SECURITY_KEY, 16, 4, 4),
      unserved(ASSET_HARDWARE_REVISION), unserved(ASSET_MAC_ADDRESS),
      unserved(ASSET_ACTIVE_CHECKSUM), unserved(ASSET_FULL_CHECKSUM), unserved(ASSET_CMOS_VALUE),
      unserved(kUnassigned)},
     kNoChecksum,
     kNoChecksum,
     25,
     1,
     0x40},
    {},
};

struct RowFamily {
    EepromWriteOperation rowWrite;
    const IxoEepromFamily *family;
    eeprom::ImageWrite writeImage;
};

const RowFamily kRowFamilies[] = {
    {writeViaEeprom, &kFamilies[kRhine], eeprom::writeRhineImage},
    {writeViaEepromVelocity, &kFamilies[kVelocity], eeprom::writeVelocityImage},
    {writeRtlEeprom, &kFamilies[kRealtek], nullptr},
    {writeJmicronEeprom, &kFamilies[kJmicron], eeprom::writeJmicronImage},
};

void storeChecksum(const IxoEepromChecksum &checksum, unsigned char *image) {
    if (checksum.sum == IXO_EEPROM_SUM_BYTES) {
        unsigned char sum = calculateByteCheckSum(image + checksum.first,
                                                  static_cast<unsigned short>(checksum.last -
                                                                              checksum.first + 1));
        image[checksum.stored] = static_cast<unsigned char>(0x100 - sum);
    } else if (checksum.sum == IXO_EEPROM_SUM_WORDS) {
        eeprom::setImageWord(image, checksum.stored,
                             eeprom::negatedWordSum(image, checksum.first, checksum.last));
    }
}

}  // namespace

namespace eeprom {

const IxoEepromFamily &rhineFamily() { return kFamilies[kRhine]; }
const IxoEepromFamily &velocityFamily() { return kFamilies[kVelocity]; }
const IxoEepromFamily &realtekFamily() { return kFamilies[kRealtek]; }
const IxoEepromFamily &jmicronFamily() { return kFamilies[kJmicron]; }

const IxoEepromFamily *familyOfRow(const pcidev_row &row, ImageWrite *writeImage) {
    for (const RowFamily &known : kRowFamilies) {
        if (row.write_eeprom == known.rowWrite) {
            if (writeImage != nullptr) {
                *writeImage = known.writeImage;
            }
            return known.family;
        }
    }
    return nullptr;
}

const IxoEepromPlace &placeOf(const IxoEepromFamily &family, unsigned char bit) {
    for (const IxoEepromPlace &value : family.values) {
        if (value.bit == bit) {
            return value;
        }
    }
    static constexpr IxoEepromPlace nowhere = unserved(0);
    return nowhere;
}

unsigned char *checksumAt(const IxoEepromChecksum &checksum, unsigned char *image) {
    return image + (checksum.sum == IXO_EEPROM_SUM_WORDS ? 2 * checksum.stored : checksum.stored);
}

void fillRecord(const IxoEepromFamily &family, const unsigned char *image,
                unsigned char *record) {
    for (const IxoEepromPlace &value : family.values) {
        if ((family.servedBits & value.bit) != 0 && requested(record, value.bit)) {
            std::memcpy(slot(record, value.slot), image + value.readOffset,
                        static_cast<size_t>(value.readBytes));
        }
    }
}

void mergeRecord(const IxoEepromFamily &family, unsigned char *image,
                 const unsigned char *record) {
    for (const IxoEepromPlace &value : family.values) {
        if ((family.servedBits & value.bit) != 0 && requested(record, value.bit)) {
            std::memcpy(image + value.writeOffset, record + EEPROM_ASSET_SLOT(value.slot),
                        static_cast<size_t>(value.writeBytes));
        }
    }
}

void storeChecksums(const IxoEepromFamily &family, unsigned char *image) {
    storeChecksum(family.active, image);
    storeChecksum(family.full, image);
}

}  // namespace eeprom

extern "C" {

IXO_API const IxoEepromFamily *ixoEepromFamilies(void) { return kFamilies; }

}  // extern "C"
