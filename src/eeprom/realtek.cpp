// Realtek-based controllers: an image layout of their own with the maker's
// CMOS block (families.cpp). These operations work on the image only; the
// controller's EEPROM is neither read nor written.
#define IXO_MODULE "EepromFunctions"

#include "eeprom/eepromInternal.h"
#include "eeprom/families.h"
#include "log.h"

namespace {

unsigned char *valueIn(unsigned char *image, unsigned char bit) {
    return image + eeprom::placeOf(eeprom::realtekFamily(), bit).writeOffset;
}

}  // namespace

namespace eeprom {

int readRealtekRow(unsigned short ioBase, unsigned char *image) {
    (void)image;
    return readRtlEeprom(ioBase);
}

}  // namespace eeprom

extern "C" {

IXO_API unsigned char *rtlGetMacAddress(unsigned char *image) {
    return valueIn(image, ASSET_MAC_ADDRESS);
}
IXO_API unsigned char *rtlGetActiveCheckSum(unsigned char *image) {
    return eeprom::checksumAt(eeprom::realtekFamily().active, image);
}
IXO_API unsigned char *rtlGetSerialNumber(unsigned char *image) {
    return valueIn(image, ASSET_SERIAL_NUMBER);
}
IXO_API unsigned char *rtlGetHardwareRevision(unsigned char *image) {
    return valueIn(image, ASSET_HARDWARE_REVISION);
}
IXO_API unsigned char *rtlGetSecurityKey(unsigned char *image) {
    return valueIn(image, ASSET_SECURITY_KEY);
}
IXO_API unsigned char *rtlGetFullCheckSum(unsigned char *image) {
    return eeprom::checksumAt(eeprom::realtekFamily().full, image);
}

IXO_API int readRtlEeprom(unsigned short ioBase) {
    (void)ioBase;
    return 1;
}

IXO_API int writeRtlEeprom(unsigned short ioBase, unsigned char *image, unsigned char *record) {
    (void)ioBase;
    if (image == nullptr || record == nullptr) {
        return 0;
    }
    // Checksum values in the record are replaced by those computed afresh.
    eeprom::mergeRecord(eeprom::realtekFamily(), image, record);
    eeprom::storeChecksums(eeprom::realtekFamily(), image);
    return 1;
}

IXO_API void fillRtlEepromAsset(unsigned char *image, unsigned char *record) {
    IXO_LOG(IXO_PROGRESS, "Entering fillRtlEepromAsset");
    if (image != nullptr && record != nullptr) {
        eeprom::fillRecord(eeprom::realtekFamily(), image, record);
    }
}

}  // extern "C"
