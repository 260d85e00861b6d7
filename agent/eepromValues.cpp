#include "agent/eepromValues.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace agent {

const char kNotStored[] = "not stored by this controller";

namespace {

std::string revisionText(const unsigned char *bytes, int count) {
    std::string hex = hexBytes(bytes, count, " ");
    for (int at = 0; at < count; ++at) {
        if (bytes[at] < 0x20 || bytes[at] > 0x7e) {
            return hex;
        }
    }
    return std::string(reinterpret_cast<const char *>(bytes), static_cast<size_t>(count)) + " (" +
           hex + ")";
}

EepromValue checksum(const IxoEepromFamily &family, unsigned char bit,
                     const IxoEepromChecksum &rule,
                     const char *key, const char *label, const unsigned char *image) {
    EepromValue shown;
    shown.key = key;
    shown.label = label;
    shown.checksum = true;
    ChecksumState state = checksumState(rule, image);
    shown.stored = storesValue(&family, bit) && state.kept;
    if (shown.stored) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%0*x", state.digits, state.value);
        shown.text = text;
        shown.validity = state.valid ? Validity::Valid : Validity::Invalid;
    }
    return shown;
}

const char *validityWord(Validity validity) {
    return validity == Validity::Valid ? " valid" : validity == Validity::Invalid ? " invalid" : "";
}

}  // namespace

EepromValue eepromValue(const IxoEepromFamily *family, unsigned char bit, const char *key,
                        const char *label, const std::string &text) {
    EepromValue shown;
    shown.key = key;
    shown.label = label;
    shown.stored = storesValue(family, bit);
    if (shown.stored) {
        shown.text = text;
    }
    return shown;
}

std::string hexBytes(const unsigned char *bytes, int count, const char *separator) {
    std::string text;
    char part[4];
    for (int at = 0; at < count; ++at) {
        std::snprintf(part, sizeof part, "%02x", bytes[at]);
        text += (at > 0 ? separator : "") + std::string(part);
    }
    return text;
}

std::string serialText(const unsigned char *bytes) {
    std::string text;
    for (int at = 0; at < ASSET_SERIAL_NUMBER_BYTES && bytes[at] != 0; ++at) {
        if (std::isprint(bytes[at]) != 0 && bytes[at] != '\\') {
            text += static_cast<char>(bytes[at]);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", bytes[at]);
            text += escaped;
        }
    }
    return text;
}

std::string keyText(const unsigned char *bytes) {
    uint32_t key = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                   static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned int>(key));
    return text;
}

std::vector<EepromValue> eepromValues(const IxoEepromFamily &family, unsigned char *record,
                                      const unsigned char *image) {
    auto slot = [record, &family](unsigned char bit) {
        return record + EEPROM_ASSET_SLOT(placeOf(family, bit).slot);
    };
    auto bytes = [&family](unsigned char bit) { return placeOf(family, bit).readBytes; };
    return {
        eepromValue(&family, ASSET_MAC_ADDRESS, "stationAddress", "station address",
                    hexBytes(slot(ASSET_MAC_ADDRESS), bytes(ASSET_MAC_ADDRESS), ":")),
        eepromValue(&family, ASSET_SERIAL_NUMBER, "serialNumber", "serial number",
                    serialText(slot(ASSET_SERIAL_NUMBER))),
        eepromValue(&family, ASSET_SECURITY_KEY, "securityKey", "security key",
                    keyText(slot(ASSET_SECURITY_KEY))),
        eepromValue(&family, ASSET_HARDWARE_REVISION, "hardwareRevision", "hardware revision",
                    revisionText(slot(ASSET_HARDWARE_REVISION), bytes(ASSET_HARDWARE_REVISION))),
        checksum(family, ASSET_ACTIVE_CHECKSUM, family.active, "activeChecksum",
                 "active checksum", image),
        checksum(family, ASSET_FULL_CHECKSUM, family.full, "fullChecksum", "full checksum", image),
    };
}

void printEepromValue(const EepromValue &value) {
    if (!value.stored) {
        std::printf("%s: %s\n", value.label, kNotStored);
        return;
    }
    std::printf("%s: %s%s\n", value.label, value.text.c_str(), validityWord(value.validity));
}

std::string checksumsText(const IxoEepromFamily &family, const unsigned char *image) {
    ChecksumState active = checksumState(family.active, image);
    ChecksumState full = checksumState(family.full, image);
    if (!active.kept && !full.kept) {
        return std::string("checksums: ") + kNotStored;
    }
    char text[96];
    std::snprintf(text, sizeof text, "checksums: active 0x%0*x %s, full 0x%0*x %s", active.digits,
                  active.value, active.valid ? "valid" : "invalid", full.digits, full.value,
                  full.valid ? "valid" : "invalid");
    return text;
}

}  // namespace agent
