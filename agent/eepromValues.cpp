#include "agent/eepromValues.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace agent {

const char kNotStored[] = "not stored by this controller";

namespace {

constexpr int kSerialBytes = 11;

std::string revisionText(const unsigned char *bytes) {
    std::string hex = hexBytes(bytes, 4, " ");
    for (int at = 0; at < 4; ++at) {
        if (bytes[at] < 0x20 || bytes[at] > 0x7e) {
            return hex;
        }
    }
    return std::string(reinterpret_cast<const char *>(bytes), 4) + " (" + hex + ")";
}

EepromValue checksum(const EepromFamily &family, unsigned char bit, const ChecksumRule &rule,
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

EepromValue eepromValue(const EepromFamily *family, unsigned char bit, const char *key,
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
    for (int at = 0; at < kSerialBytes && bytes[at] != 0; ++at) {
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

std::vector<EepromValue> eepromValues(const EepromFamily &family, unsigned char *record,
                                      const unsigned char *image) {
    auto slot = [record](int index) { return record + EEPROM_ASSET_SLOT(index); };
    return {
        eepromValue(&family, ASSET_MAC_ADDRESS, "stationAddress", "station address",
                    hexBytes(slot(2), 6, ":")),
        eepromValue(&family, ASSET_SERIAL_NUMBER, "serialNumber", "serial number",
                    serialText(slot(0))),
        eepromValue(&family, ASSET_SECURITY_KEY, "securityKey", "security key", keyText(slot(1))),
        eepromValue(&family, ASSET_HARDWARE_REVISION, "hardwareRevision", "hardware revision",
                    revisionText(slot(3))),
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

std::string checksumsText(const EepromFamily &family, const unsigned char *image) {
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
