// Realtek-based controllers: an image layout of their own with the maker's
// CMOS block. These operations work on the image only; the controller's
// EEPROM is neither read nor written.
#define IXO_MODULE "EepromFunctions"

#include "eeprom/eepromInternal.h"
#include "log.h"

namespace {

constexpr int kActiveChecksumWord = 25;
constexpr int kFullChecksumWord = 63;
constexpr int kCmosOffset = 62;
constexpr int kCmosBytes = 42;

}  // namespace

namespace eeprom {

int readRealtekRow(unsigned short ioBase, unsigned char *image) {
    (void)image;
    return readRtlEeprom(ioBase);
}

}  // namespace eeprom

extern "C" {

IXO_API unsigned char *rtlGetMacAddress(unsigned char *image) { return image + 14; }
IXO_API unsigned char *rtlGetActiveCheckSum(unsigned char *image) { return image + 50; }
IXO_API unsigned char *rtlGetSerialNumber(unsigned char *image) { return image + 104; }
IXO_API unsigned char *rtlGetHardwareRevision(unsigned char *image) { return image + 116; }
IXO_API unsigned char *rtlGetSecurityKey(unsigned char *image) { return image + 120; }
IXO_API unsigned char *rtlGetFullCheckSum(unsigned char *image) { return image + 126; }

IXO_API int readRtlEeprom(unsigned short ioBase) {
    (void)ioBase;
    return 1;
}

IXO_API int writeRtlEeprom(unsigned short ioBase, unsigned char *image, unsigned char *record) {
    using eeprom::requested;
    using eeprom::slot;
    (void)ioBase;
    if (image == nullptr || record == nullptr) {
        return 0;
    }
    if (requested(record, ASSET_SERIAL_NUMBER)) {
        std::memcpy(rtlGetSerialNumber(image), slot(record, 0), 11);
    }
    if (requested(record, ASSET_SECURITY_KEY)) {
        std::memcpy(rtlGetSecurityKey(image), slot(record, 1), 4);
    }
    if (requested(record, ASSET_HARDWARE_REVISION)) {
        std::memcpy(rtlGetHardwareRevision(image), slot(record, 3), 4);
    }
    if (requested(record, ASSET_MAC_ADDRESS)) {
        std::memcpy(rtlGetMacAddress(image), slot(record, 2), 6);
    }
    if (requested(record, ASSET_ACTIVE_CHECKSUM)) {
        std::memcpy(rtlGetActiveCheckSum(image), slot(record, 4), 2);
    }
    if (requested(record, ASSET_FULL_CHECKSUM)) {
        std::memcpy(rtlGetFullCheckSum(image), slot(record, 5), 2);
    }
    if (requested(record, ASSET_CMOS_VALUE)) {
        std::memcpy(image + kCmosOffset, slot(record, 6), kCmosBytes);
    }
    // The active checksum covers the controller's own words 0-24; the full
    // one the maker's asset area, words 31-61.
    eeprom::setImageWord(image, kActiveChecksumWord, eeprom::negatedWordSum(image, 0, 24));
    eeprom::setImageWord(image, kFullChecksumWord, eeprom::negatedWordSum(image, 31, 61));
    return 1;
}

IXO_API void fillRtlEepromAsset(unsigned char *image, unsigned char *record) {
    using eeprom::requested;
    using eeprom::slot;
    IXO_LOG(IXO_PROGRESS, "Entering fillRtlEepromAsset");
    if (image == nullptr || record == nullptr) {
        return;
    }
    if (requested(record, ASSET_SERIAL_NUMBER)) {
        std::memcpy(slot(record, 0), rtlGetSerialNumber(image), 12);
    }
    if (requested(record, ASSET_SECURITY_KEY)) {
        std::memcpy(slot(record, 1), rtlGetSecurityKey(image), 4);
    }
    if (requested(record, ASSET_HARDWARE_REVISION)) {
        std::memcpy(slot(record, 3), rtlGetHardwareRevision(image), 4);
    }
    if (requested(record, ASSET_MAC_ADDRESS)) {
        std::memcpy(slot(record, 2), rtlGetMacAddress(image), 6);
    }
    if (requested(record, ASSET_ACTIVE_CHECKSUM)) {
        std::memcpy(slot(record, 4), rtlGetActiveCheckSum(image), 2);
    }
    if (requested(record, ASSET_FULL_CHECKSUM)) {
        std::memcpy(slot(record, 5), rtlGetFullCheckSum(image), 2);
    }
    // The CMOS request hands out the whole image.
    if (requested(record, ASSET_CMOS_VALUE)) {
        std::memcpy(slot(record, 6), image, EEPROM_IMAGE_SIZE);
    }
}

}  // extern "C"
