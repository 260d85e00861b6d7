// The byte and word checksums the controller layouts keep, and the hex dump
// of an image.
#include <cstdio>

#include "eeprom/eepromInternal.h"

namespace {

void printRule() {
    for (int column = 0; column < 56; ++column) {
        std::putchar('=');
    }
    std::putchar('\n');
}

}  // namespace

namespace eeprom {

uint16_t negatedWordSum(const unsigned char *image, int first, int last) {
    uint16_t sum = 0;
    for (int index = first; index <= last; ++index) {
        sum = static_cast<uint16_t>(sum + imageWord(image, index));
    }
    return static_cast<uint16_t>(0x10000 - sum);
}

}  // namespace eeprom

extern "C" {

IXO_API unsigned char calculateByteCheckSum(const unsigned char *bytes, unsigned short count) {
    unsigned char sum = 0;
    for (unsigned short index = 0; bytes != nullptr && index < count; ++index) {
        sum = static_cast<unsigned char>(sum + bytes[index]);
    }
    return sum;
}

IXO_API unsigned short calculateWordCheckSum(const unsigned short *words, unsigned short count) {
    unsigned short sum = 0;
    for (unsigned short index = 0; words != nullptr && index < count; ++index) {
        sum = static_cast<unsigned short>(sum + words[index]);
    }
    return sum;
}

IXO_API void dumpEEPROM(const unsigned char *image) {
    if (image == nullptr) {
        return;
    }
    printRule();
    for (int line = 0; line < EEPROM_IMAGE_SIZE / 16; ++line) {
        std::printf("%04X    ", line * 16);
        for (int group = 0; group < 2; ++group) {
            for (int column = 0; column < 8; ++column) {
                std::printf("%02X ", image[line * 16 + group * 8 + column]);
            }
            std::putchar(' ');
        }
        std::putchar('\n');
    }
    printRule();
    std::putchar('\n');
}

}  // extern "C"
