#include "sim/nicFactoryImages.h"

#include <algorithm>
#include <cstring>

namespace sim::nic {

namespace {

void put(std::vector<uint8_t> &image, size_t offset, const void *bytes, size_t count) {
    std::memcpy(image.data() + offset, bytes, count);
}

void putKey(std::vector<uint8_t> &image, size_t offset, uint32_t key) {
    for (int index = 0; index < 4; ++index) {
        image[offset + index] = static_cast<uint8_t>(key >> (8 * index));
    }
}

void putWord(std::vector<uint8_t> &image, size_t word, uint16_t value) {
    image[2 * word] = static_cast<uint8_t>(value);
    image[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// The negated 16-bit sum of words first..last, so that they and the stored
// word add up to 0.
uint16_t wordChecksum(const std::vector<uint8_t> &image, size_t first, size_t last) {
    unsigned sum = 0;
    for (size_t word = first; word <= last; ++word) {
        sum += image[2 * word] | image[2 * word + 1] << 8;
    }
    return static_cast<uint16_t>(0x10000 - (sum & 0xFFFF));
}

struct AssetValues {
    uint8_t mac[6];
    const char *serial;  // 11 characters
    const char *revision;  // 4 bytes
    uint32_t key;
};

// VIA: the controller's own area in bytes 0 to 31 (station address, the
// subsystem IDs it presents at 8 to 11, its checksum at 31), the maker's
// values from byte 40, the rest erased, the whole-image checksum in word 63.
std::vector<uint8_t> viaImage(const AssetValues &values, uint16_t subsystemDevice) {
    std::vector<uint8_t> image(128, 0x00);
    put(image, 0, values.mac, 6);
    putWord(image, 4, 0x1106);
    putWord(image, 5, subsystemDevice);
    unsigned sum = 0;
    for (size_t offset = 0; offset < 31; ++offset) {
        sum += image[offset];
    }
    image[31] = static_cast<uint8_t>(0x100 - (sum & 0xFF));
    put(image, 40, values.revision, 4);
    putKey(image, 44, values.key);
    put(image, 52, values.serial, 11);
    image[63] = 0x00;
    std::fill(image.begin() + 64, image.begin() + 126, 0xFF);
    putWord(image, 63, wordChecksum(image, 0, 62));
    return image;
}

// Realtek: the controller's ID words, subsystem, PCI timing and station
// address, configuration defaults, the active checksum in word 25; the
// maker's CMOS block, serial number, revision and key in words 31 to 61,
// covered by word 63; words 26 to 30 and 62 are unused.
std::vector<uint8_t> realtekImage(const AssetValues &values) {
    static const uint8_t kCmosBlock[42] = {
        0x26, 0x02, 0x50, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x40, 0x00, 0xF0, 0x80, 0x02, 0x80, 0x02, 0x00, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x0F, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1A, 0x04, 0x20};
    std::vector<uint8_t> image(128, 0x00);
    putWord(image, 0, 0x8129);
    putWord(image, 1, 0x10ec);
    putWord(image, 2, 0x8139);
    putWord(image, 3, 0x10ec);
    putWord(image, 4, 0x8139);
    image[10] = 0x20;  // minimum grant
    image[11] = 0x40;  // maximum latency
    put(image, 14, values.mac, 6);
    image[20] = 0x4d;  // configuration 0 and 1
    image[21] = 0xc2;
    putWord(image, 25, wordChecksum(image, 0, 24));
    put(image, 62, kCmosBlock, sizeof kCmosBlock);
    put(image, 104, values.serial, 11);
    image[115] = 0x00;
    put(image, 116, values.revision, 4);
    putKey(image, 120, values.key);
    putWord(image, 62, 0xFFFF);
    putWord(image, 63, wordChecksum(image, 31, 61));
    return image;
}

// JMicron: the controller's load area (signature, station address) at 0x00,
// the maker's window 0x40 to 0x58 (board name, the key at 0x50), erased
// above.
std::vector<uint8_t> jmicronImage(const AssetValues &values) {
    std::vector<uint8_t> image(256, 0xFF);
    image[0] = 0xA5;
    image[1] = 0x5A;
    put(image, 2, values.mac, 6);
    put(image, 0x40, "MB-J260 REV A02 ", 16);
    putKey(image, 0x50, values.key);
    std::fill(image.begin() + 0x54, image.begin() + 0x59, 0x00);
    return image;
}

}  // namespace

std::vector<uint8_t> rhineFactoryImage() {
    return viaImage({{0x00, 0x40, 0x63, 0xd6, 0x1a, 0x3c}, "7T3C1045216", "R1.2", 0x5A3C96E1},
                    0x0106);
}

std::vector<uint8_t> velocityFactoryImage() {
    return viaImage({{0x00, 0x40, 0x63, 0xe8, 0x52, 0x07}, "7T5V2087341", "R2.0", 0x9D04B7C2},
                    0x0110);
}

std::vector<uint8_t> realtekFactoryImage() {
    return realtekImage({{0x00, 0xe0, 0x4c, 0x71, 0x3a, 0x5e}, "7T1R0968830", "R1.0", 0x2F61A4D8});
}

std::vector<uint8_t> jmicronFactoryImage() {
    return jmicronImage({{0x00, 0x1b, 0x8c, 0x2a, 0x61, 0xf4}, "", "", 0xC7E2193B});
}

}  // namespace sim::nic
