#include "agent/eepromImage.h"

#include <cstdio>
#include <cstring>

namespace agent {

namespace {

unsigned wordAt(const unsigned char *image, int index) {
    return image[2 * index] | image[2 * index + 1] << 8;
}

bool sumsBytes(const IxoEepromChecksum &rule) { return rule.sum == IXO_EEPROM_SUM_BYTES; }

unsigned coveredSum(const IxoEepromChecksum &rule, const unsigned char *image) {
    unsigned sum = 0;
    for (int at = rule.first; at <= rule.last; ++at) {
        sum += sumsBytes(rule) ? image[at] : wordAt(image, at);
    }
    return sum;
}

// The negated sum into the checksum's place.
void storeChecksum(const IxoEepromChecksum &rule, unsigned char *image) {
    unsigned sum = coveredSum(rule, image);
    if (rule.sum == IXO_EEPROM_SUM_BYTES) {
        image[rule.stored] = static_cast<unsigned char>((0x100u - (sum & 0xFFu)) & 0xFFu);
    } else if (rule.sum == IXO_EEPROM_SUM_WORDS) {
        unsigned negated = (0x10000u - (sum & 0xFFFFu)) & 0xFFFFu;
        image[2 * rule.stored] = static_cast<unsigned char>(negated & 0xFF);
        image[2 * rule.stored + 1] = static_cast<unsigned char>(negated >> 8);
    }
}

}  // namespace

bool storesValue(const IxoEepromFamily *family, unsigned char bit) {
    return family == nullptr || (family->storedBits & bit) != 0;
}

const IxoEepromPlace &placeOf(const IxoEepromFamily &family, unsigned char bit) {
    static const IxoEepromPlace nowhere = {0, 0, -1, 0, -1, 0};
    for (const IxoEepromPlace &value : family.values) {
        if (value.bit == bit) {
            return value;
        }
    }
    return nowhere;
}

ChecksumState checksumState(const IxoEepromChecksum &rule, const unsigned char *image) {
    ChecksumState state;
    if (rule.sum == IXO_EEPROM_SUM_NONE) {
        return state;
    }
    bool bytes = sumsBytes(rule);
    unsigned mask = bytes ? 0xFFu : 0xFFFFu;
    state.kept = true;
    state.value = bytes ? image[rule.stored] : wordAt(image, rule.stored);
    state.digits = bytes ? 2 : 4;
    state.valid = ((coveredSum(rule, image) + state.value) & mask) == 0;
    return state;
}

void mergeValue(const IxoEepromFamily &family, unsigned char bit,
                const std::vector<unsigned char> &value, unsigned char *image) {
    int offset = placeOf(family, bit).writeOffset;
    if (offset >= 0 && offset + value.size() <= EEPROM_IMAGE_SIZE) {
        std::memcpy(image + offset, value.data(), value.size());
    }
    // The active checksum lies inside what the full one covers: it goes first.
    storeChecksum(family.active, image);
    storeChecksum(family.full, image);
}

std::vector<UnitChange> changedUnits(const IxoEepromFamily &family, const unsigned char *from,
                                     const unsigned char *to) {
    std::vector<UnitChange> changes;
    for (int at = 0; at + family.unitBytes <= family.deviceBytes; at += family.unitBytes) {
        unsigned before = family.unitBytes == 2 ? wordAt(from, at / 2) : from[at];
        unsigned after = family.unitBytes == 2 ? wordAt(to, at / 2) : to[at];
        if (before != after) {
            unsigned address = family.firstAddress + static_cast<unsigned>(at / family.unitBytes);
            changes.push_back({address, before, after});
        }
    }
    return changes;
}

const char *unitName(const IxoEepromFamily &family) {
    return family.unitBytes == 2 ? "word" : "byte";
}

std::string unitText(const IxoEepromFamily &family, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%0*x", family.unitBytes * 2, value);
    return text;
}

}  // namespace agent
