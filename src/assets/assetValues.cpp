// The maker's asset values kept in the on-board network controller's EEPROM:
// serial number, security key and the CMOS block. Each call makes one read
// or write transfer with a record of its own.
#define IXO_MODULE "ImagingAsset"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "assets/assetsInternal.h"
#include "ixo/assets.h"
#include "ixo/eeprom.h"
#include "log.h"

namespace {

using assets::AssetRecord;
using assets::keyOf;

// One read transfer for the requested values; null when the record cannot
// be allocated or the read did not happen.
AssetRecord readAssets(unsigned char requestBits) {
    AssetRecord request = assets::newAssetRecord(requestBits);
    if (request && readEepromAssetValues(request.get()) < 0) {
        IXO_LOG(IXO_PROGRESS, "not able to read Eeprom Asset Values");
        request.reset();
    }
    return request;
}

unsigned char *slot(const AssetRecord &record, int index) {
    return record.get() + EEPROM_ASSET_SLOT(index);
}

constexpr int kSerialSlot = 0;
constexpr int kKeySlot = 1;
constexpr int kCmosSlot = 6;

void putKey(unsigned char *bytes, uint32_t key) {
    for (int index = 0; index < 4; ++index) {
        bytes[index] = static_cast<unsigned char>(key >> (8 * index));
    }
}

// The key as the agent reads it: exactly 8 uppercase hexadecimal digits.
void keyText(char *field, uint32_t key) {
    std::snprintf(field, IXO_TEXT_FIELD_SIZE, "%08X", static_cast<unsigned int>(key));
}

void serialText(char *field, const unsigned char *serial) {
    std::memcpy(field, serial, IXO_SERIAL_NUMBER_SIZE);
    field[IXO_SERIAL_NUMBER_SIZE] = '\0';
}

// A key text the EEPROM can take: exactly 8 hexadecimal digits.
bool parseKeyText(const char *text, uint32_t *key) {
    if (::strnlen(text, IXO_TEXT_FIELD_SIZE) != IXO_SECURITY_KEY_TEXT_LENGTH) {
        return false;
    }
    uint32_t value = 0;
    for (int index = 0; index < IXO_SECURITY_KEY_TEXT_LENGTH; ++index) {
        unsigned char digit = static_cast<unsigned char>(text[index]);
        if (!std::isxdigit(digit)) {
            return false;
        }
        value = value << 4 |
                static_cast<uint32_t>(std::isdigit(digit) ? digit - '0'
                                                          : std::toupper(digit) - 'A' + 10);
    }
    *key = value;
    return true;
}

}  // namespace

extern "C" {

IXO_API int getEpromAssets(PlatformData *record) {
    if (record == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    AssetRecord request = readAssets(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    if (!request) {
        return -1;
    }
    keyText(record->securityKey, keyOf(slot(request, kKeySlot)));
    serialText(record->serialNumber, slot(request, kSerialSlot));
    IXO_LOG(IXO_PROGRESS, "Serial Number = %s", record->serialNumber);
    IXO_LOG(IXO_PROGRESS, "Security key = %s", record->securityKey);
    return 0;
}

IXO_API int setEpromAssets(PlatformData *record) {
    if (record == nullptr) {
        IXO_LOG(IXO_ERROR, "Null platformData passed in");
        return -1;
    }
    uint32_t key = 0;
    if (!parseKeyText(record->securityKey, &key)) {
        IXO_LOG(IXO_ERROR, "security key '%.*s' is not 8 hexadecimal digits: nothing written", 64,
                record->securityKey);
        return -1;
    }
    AssetRecord request = assets::newAssetRecord(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    if (!request) {
        return -1;
    }
    std::memcpy(slot(request, kSerialSlot), record->serialNumber,
                ::strnlen(record->serialNumber, IXO_SERIAL_NUMBER_LENGTH));
    putKey(slot(request, kKeySlot), key);
    if (writeEepromAssetValues(request.get()) < 0) {
        std::puts("not able to read Eeprom Asset Values:");
        return -1;
    }
    keyText(record->securityKey, keyOf(slot(request, kKeySlot)));
    serialText(record->serialNumber, slot(request, kSerialSlot));
    IXO_LOG(IXO_PROGRESS, "After writing\nSerial no\t:");
    for (int index = 0; index < IXO_SERIAL_NUMBER_SIZE; ++index) {
        IXO_LOG(IXO_PROGRESS, "%c", record->serialNumber[index]);
    }
    IXO_LOG(IXO_PROGRESS, "\nSecurity key\t:");
    IXO_LOG(IXO_PROGRESS, "%08X\n", static_cast<unsigned int>(keyOf(slot(request, kKeySlot))));
    return 0;
}

IXO_API int returnSerialNumber(char *buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    AssetRecord request = readAssets(ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY);
    if (!request) {
        return -1;
    }
    std::memcpy(buffer, slot(request, kSerialSlot), IXO_SERIAL_NUMBER_SIZE);
    return 0;
}

IXO_API int returnCMOSValue(unsigned char *buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    AssetRecord request = readAssets(ASSET_CMOS_VALUE);
    if (!request) {
        return -1;
    }
    std::memcpy(buffer, slot(request, kCmosSlot), IXO_CMOS_READ_SIZE);
    return 0;
}

IXO_API int updateCMOSValue(const unsigned char *buffer) {
    if (buffer == nullptr) {
        return -1;
    }
    AssetRecord request = assets::newAssetRecord(ASSET_CMOS_VALUE);
    if (!request) {
        return -1;
    }
    std::memcpy(slot(request, kCmosSlot), buffer, IXO_CMOS_WRITE_SIZE);
    if (writeEepromAssetValues(request.get()) < 0) {
        IXO_LOG(IXO_PROGRESS, " writeEepromAssetValues KORVEL falied");
        return -1;
    }
    return 0;
}

IXO_API int updateSecurityKey(unsigned int key) {
    AssetRecord request = assets::newAssetRecord(ASSET_SECURITY_KEY);
    if (!request) {
        return -1;
    }
    putKey(slot(request, kKeySlot), key);
    IXO_LOG(IXO_PROGRESS, "Calling writeEepromAssetValues");
    return writeEepromAssetValues(request.get()) < 0 ? -1 : 0;
}

}  // extern "C"

namespace assets {

AssetRecord newAssetRecord(unsigned char requestBits) {
    AssetRecord record(new (std::nothrow) unsigned char[sizeof(EepromAssetRecord)]());
    if (record) {
        record[0] = requestBits;
    }
    return record;
}

uint32_t keyOf(const unsigned char *bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace assets
