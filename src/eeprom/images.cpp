// The whole EEPROM image read or written at once, for backups and their
// restore: each family's own word operations, with nothing merged and no
// checksum recomputed, so that a saved image goes back byte for byte.
#define IXO_MODULE "EepromFunctions"

#include "eeprom/eepromInternal.h"
#include "eeprom/families.h"
#include "log.h"

namespace {

bool imageSizeFits(const void *image, int size) {
    if (image == nullptr) {
        IXO_LOG(IXO_ERROR, "null image");
        return false;
    }
    if (size != EEPROM_IMAGE_SIZE) {
        IXO_LOG(IXO_ERROR, "an EEPROM image is %d bytes, not %d", EEPROM_IMAGE_SIZE, size);
        return false;
    }
    return true;
}

// The transfer's preparation, then the whole-image write of the controller's
// family; null (with the reason logged) when its image cannot be read or
// written. The Realtek family has none: its operations never reach the
// EEPROM, so an image read would be the fill and a write would change
// nothing.
eeprom::ImageWrite prepareImageTransfer(pcidev_row **found) {
    pcidev_row *row = eeprom::prepareTransfer();
    if (row == nullptr) {
        return nullptr;
    }
    *found = row;
    eeprom::ImageWrite writeImage = nullptr;
    const IxoEepromFamily *family = eeprom::familyOfRow(*row, &writeImage);
    if (writeImage != nullptr) {
        return writeImage;
    }
    if (family == &eeprom::realtekFamily()) {
        IXO_LOG(IXO_ERROR, "the %s: the library's Realtek operations never reach its EEPROM",
                row->long_name);
    } else {
        IXO_LOG(IXO_ERROR, "the %s: no whole-image operations for its operations",
                row->long_name);
    }
    return nullptr;
}

}  // namespace

extern "C" {

IXO_API int ixoReadEepromImage(unsigned char *image, int size) {
    if (!imageSizeFits(image, size)) {
        return -1;
    }
    pcidev_row *row = nullptr;
    if (prepareImageTransfer(&row) == nullptr) {
        return -1;
    }
    if (row->read_eeprom(row->io_addr, eeprom_contents) != 1) {
        IXO_LOG(IXO_ERROR, "the %s did not complete the EEPROM read", row->long_name);
        return -1;
    }
    std::memcpy(image, eeprom_contents, EEPROM_IMAGE_SIZE);
    IXO_LOG(IXO_PROGRESS, "read the EEPROM image of the %s at %#x", row->long_name, row->io_addr);
    return 0;
}

IXO_API int ixoWriteEepromImage(const unsigned char *image, int size) {
    if (!imageSizeFits(image, size)) {
        return -1;
    }
    // Taken before the preparation refills the module's image, which the
    // caller may have handed in.
    unsigned char written[EEPROM_IMAGE_SIZE];
    std::memcpy(written, image, sizeof written);
    pcidev_row *row = nullptr;
    eeprom::ImageWrite writeImage = prepareImageTransfer(&row);
    if (writeImage == nullptr) {
        return -1;
    }
    std::memcpy(eeprom_contents, written, sizeof written);
    IXO_LOG(IXO_PROGRESS, "writing the EEPROM image of the %s at %#x", row->long_name,
            row->io_addr);
    if (!writeImage(row->io_addr, eeprom_contents)) {
        IXO_LOG(IXO_ERROR, "the %s did not complete the EEPROM image write", row->long_name);
        return -1;
    }
    return 0;
}

}  // extern "C"
