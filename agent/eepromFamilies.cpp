#include "agent/eepromFamilies.h"

#include <cstdio>
#include <cstring>

namespace agent {

namespace {

constexpr unsigned char kViaValues = ASSET_SERIAL_NUMBER | ASSET_SECURITY_KEY |
                                     ASSET_HARDWARE_REVISION | ASSET_MAC_ADDRESS |
                                     ASSET_ACTIVE_CHECKSUM | ASSET_FULL_CHECKSUM;

// The VIA layout: the active checksum over the controller's bytes 0-30, the
// full one over words 0-62, which hold the active one.
constexpr ChecksumRule kViaActive = {ChecksumSum::Bytes, 0, 30, 31};
constexpr ChecksumRule kViaFull = {ChecksumSum::Words, 0, 62, 63};
constexpr ChecksumRule kNoChecksum = {ChecksumSum::None, 0, 0, 0};

const char kViaReason[] = "a VIA controller's EEPROM holds no CMOS block";

}  // namespace

const std::vector<EepromFamily> &eepromFamilies() {
    static const std::vector<EepromFamily> families = {
        {"rhine", "writeViaEeprom", kViaValues, kViaReason, EEPROM_IMAGE_SIZE, 2, 0, 52, 44, 40, 0,
         -1, kViaActive, kViaFull},
        {"velocity", "writeViaEepromVelocity", kViaValues, kViaReason, EEPROM_IMAGE_SIZE, 2, 0, 52,
         44, 40, 0, -1, kViaActive, kViaFull},
        // The library serves every value from an image it never loads from
        // the device nor stores there: none of them is the EEPROM's.
        {"realtek", "writeRtlEeprom", 0, "the library's Realtek operations never reach the EEPROM",
         0, 2, 0, 104, 120, 116, 14, 62, {ChecksumSum::Words, 0, 24, 25},
         {ChecksumSum::Words, 31, 61, 63}},
        // EEPROM bytes 0x40-0x58 are the image's first 25 bytes.
        {"jmicron", "writeJmicronEeprom", ASSET_SECURITY_KEY,
         "the JMicron's EEPROM window holds only the security key", 25, 1, 0x40, -1, 16, -1, -1,
         -1, kNoChecksum, kNoChecksum},
    };
    return families;
}

const EepromFamily *familyNamed(const std::string &name) {
    for (const EepromFamily &family : eepromFamilies()) {
        if (name == family.name) {
            return &family;
        }
    }
    return nullptr;
}

std::vector<std::string> familyNames() {
    std::vector<std::string> names;
    for (const EepromFamily &family : eepromFamilies()) {
        names.push_back(family.name);
    }
    return names;
}

const EepromFamily *familyOfRow(const PlatformLibrary &library, const pcidev_row &row) {
    for (const EepromFamily &family : eepromFamilies()) {
        EepromWriteOperation operation = nullptr;
        std::string missing;
        if (resolveEntry(library, family.rowOperation, &operation, &missing) &&
            operation == row.write_eeprom) {
            return &family;
        }
    }
    return nullptr;
}

bool storesValue(const EepromFamily *family, unsigned char bit) {
    return family == nullptr || (family->storedBits & bit) != 0;
}

namespace {

unsigned wordAt(const unsigned char *image, int index) {
    return image[2 * index] | image[2 * index + 1] << 8;
}

unsigned coveredSum(const ChecksumRule &rule, const unsigned char *image) {
    unsigned sum = 0;
    for (int at = rule.first; at <= rule.last; ++at) {
        sum += rule.sum == ChecksumSum::Bytes ? image[at] : wordAt(image, at);
    }
    return sum;
}

// The negated sum into the checksum's place.
void storeChecksum(const ChecksumRule &rule, unsigned char *image) {
    unsigned sum = coveredSum(rule, image);
    if (rule.sum == ChecksumSum::Bytes) {
        image[rule.stored] = static_cast<unsigned char>((0x100u - (sum & 0xFFu)) & 0xFFu);
    } else if (rule.sum == ChecksumSum::Words) {
        unsigned negated = (0x10000u - (sum & 0xFFFFu)) & 0xFFFFu;
        image[2 * rule.stored] = static_cast<unsigned char>(negated & 0xFF);
        image[2 * rule.stored + 1] = static_cast<unsigned char>(negated >> 8);
    }
}

}  // namespace

ChecksumState checksumState(const ChecksumRule &rule, const unsigned char *image) {
    ChecksumState state;
    if (rule.sum == ChecksumSum::None) {
        return state;
    }
    bool bytes = rule.sum == ChecksumSum::Bytes;
    unsigned mask = bytes ? 0xFFu : 0xFFFFu;
    state.kept = true;
    state.value = bytes ? image[rule.stored] : wordAt(image, rule.stored);
    state.digits = bytes ? 2 : 4;
    state.valid = ((coveredSum(rule, image) + state.value) & mask) == 0;
    return state;
}

int valueOffset(const EepromFamily &family, unsigned char bit) {
    switch (bit) {
    case ASSET_SERIAL_NUMBER:
        return family.serialOffset;
    case ASSET_SECURITY_KEY:
        return family.keyOffset;
    case ASSET_HARDWARE_REVISION:
        return family.revisionOffset;
    case ASSET_MAC_ADDRESS:
        return family.macOffset;
    case ASSET_CMOS_VALUE:
        return family.cmosOffset;
    default:
        return -1;
    }
}

void mergeValue(const EepromFamily &family, unsigned char bit,
                const std::vector<unsigned char> &value, unsigned char *image) {
    int offset = valueOffset(family, bit);
    if (offset >= 0 && offset + value.size() <= EEPROM_IMAGE_SIZE) {
        std::memcpy(image + offset, value.data(), value.size());
    }
    // The active checksum lies inside what the full one covers: it goes first.
    storeChecksum(family.active, image);
    storeChecksum(family.full, image);
}

std::vector<UnitChange> changedUnits(const EepromFamily &family, const unsigned char *from,
                                     const unsigned char *to) {
    std::vector<UnitChange> changes;
    for (int at = 0; at + family.unitBytes <= family.storedBytes; at += family.unitBytes) {
        unsigned before = family.unitBytes == 2 ? wordAt(from, at / 2) : from[at];
        unsigned after = family.unitBytes == 2 ? wordAt(to, at / 2) : to[at];
        if (before != after) {
            unsigned address = family.firstAddress + static_cast<unsigned>(at / family.unitBytes);
            changes.push_back({address, before, after});
        }
    }
    return changes;
}

const char *unitName(const EepromFamily &family) { return family.unitBytes == 2 ? "word" : "byte"; }

std::string unitText(const EepromFamily &family, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*x", family.unitBytes * 2, value);
    return text;
}

}  // namespace agent
