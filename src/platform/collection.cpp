// The inventory the agent reports: one PlatformData record filled by the
// asset getters, and the platform's BIOS, EEPROM and CMOS sizes.
#define IXO_MODULE "DeviceAsset"

#include <strings.h>

#include <cstring>

#include "ixo/assets.h"
#include "ixo/platform.h"
#include "ixo/platform_data.h"
#include "log.h"

namespace {

// Case is ignored and only the name's own length is compared, so "korvel\n"
// is a Korvel.
bool beginsWith(const char *text, const char *name, size_t nameSize) {
    size_t length = ::strnlen(name, nameSize);
    return ::strncasecmp(text, name, length) == 0;
}

void copyVendor(char *biosName, const PlatformTranslationRow &row) {
    size_t length = ::strnlen(row.biosVendor, sizeof row.biosVendor);
    std::memcpy(biosName, row.biosVendor, length);
    biosName[length] = '\0';
}

}  // namespace

extern "C" {

IXO_API void getBiosName(char *biosName, const char *platform) {
    if (biosName == nullptr) {
        return;
    }
    biosName[0] = '\0';
    if (platform == nullptr || platform[0] == '\0') {
        return;
    }
    for (const PlatformTranslationRow *row = platformTranslation; row->codename[0] != '\0'; ++row) {
        if (beginsWith(platform, row->codename, sizeof row->codename) ||
            (row->modelName[0] != '\0' &&
             beginsWith(platform, row->modelName, sizeof row->modelName))) {
            copyVendor(biosName, *row);
            return;
        }
    }
    IXO_LOG(IXO_ERROR, "Could not find biosName");
}

IXO_API int getBiosEepromCmosAsset(PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    for (const PlatformTranslationRow *row = platformTranslation; row->codename[0] != '\0'; ++row) {
        if (beginsWith(platformData->platform, row->codename, sizeof row->codename)) {
            platformData->biosSize = row->biosSize;
            platformData->eepromSize = row->eepromSize;
            platformData->cmosSize = row->cmosSize;
            return 0;
        }
    }
    IXO_LOG(IXO_TRACE, "Unknown Platform type");
    return -1;
}

IXO_API int getPlatformData(PlatformData *platformData) {
    if (platformData == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    std::memset(platformData, 0, sizeof *platformData);
    // Each getter logs its own failures; collection goes on regardless.
    // The sizes come last: they need the platform getdeviceAsset stores.
    getdeviceAsset(platformData);
    getNetworkAsset(platformData);
    getIdeAsset(platformData);
    getSDFlashAsset(platformData);
    getBiosEepromCmosAsset(platformData);
    return 0;
}

}  // extern "C"
