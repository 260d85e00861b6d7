// The device's security key: from the firmware's SMBIOS tables when the
// agent is set up so, else from the network controller's EEPROM; devices of
// the maker's M CLASS whose EEPROM cannot be read have a fixed key per
// image layout.
#define IXO_MODULE "ImagingAsset"

#include <cstring>

#include "assets/assetsInternal.h"
#include "ixo/assets.h"
#include "ixo/eeprom.h"
#include "log.h"

namespace {

constexpr int kSmbiosKeySize = 10;
constexpr int kDmiTextSize = 128;

unsigned int fixedKeyOfPlatformType(int type) {
    switch (type) {
        case 1:
            return 0x4E2B7C13u;
        case 2:
            return 0x71D0A95Eu;
        case 3:
            return 0x2C86F3B4u;
        case 4:
            return 0x93A15D27u;
        default:
            return 0;
    }
}

}  // namespace

extern "C" {

IXO_API unsigned int returnSecurityKey(void) {
    assets::AssetRecord request =
        assets::newAssetRecord(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    if (!request) {
        return 1;
    }
    if (useSmbiosFlagEnabled() != 0) {
        char text[kSmbiosKeySize + 1] = {0};
        ReadDmiString("tyvo-securitykey", text, kSmbiosKeySize);
        unsigned int key = convertSecurityKey(text);
        IXO_LOG(IXO_PROGRESS, "Reading from SMBIOS: Security key %s", text);
        return key;
    }
    if (readEepromAssetValues(request.get()) >= 0) {
        return assets::keyOf(request.get() + EEPROM_ASSET_SLOT(1));
    }
    IXO_LOG(IXO_PROGRESS, "not able to read Eeprom Asset Values");
    char manufacturer[kDmiTextSize + 1] = {0};
    char product[kDmiTextSize + 1] = {0};
    ReadDmiString("system-manufacturer", manufacturer, kDmiTextSize);
    ReadDmiString("system-product-name", product, kDmiTextSize);
    if (std::strncmp(manufacturer, "TYVO", 4) == 0 && std::strncmp(product, "M CLASS", 7) == 0) {
        return fixedKeyOfPlatformType(getPlatformType());
    }
    return 1;
}

}  // extern "C"
