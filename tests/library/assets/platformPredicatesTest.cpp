// The platform-code predicates: which field each reads, exactly which values
// it accepts, and the 64-bit test built on them.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <set>

#include "ixo/assets.h"

namespace {

enum class Field { Image, Hardware, Model };

const struct Predicate {
    int (*function)(int);
    Field field;
    std::set<uint32_t> accepted;
} kPredicates[] = {
    {isThisWESPlatform, Field::Image, {0x0A}},
    {isThisXPEPlatform, Field::Image, {0x05}},
    {isThisWESSevenPlatform, Field::Image, {0x0B}},
    {isThisWESSevenPPlatform, Field::Image, {0x0E}},
    {isThisOLPVOSPlatform, Field::Image, {0x08, 0x0C, 0x07, 0x12}},
    {isThisOLPlatform, Field::Image, {0x08}},
    {isThisWESEightPlatform, Field::Image, {0x0F}},
    {isThisWESEight64BitPlatform, Field::Image, {0x11}},
    {isThisWindowsTen64BitPlatform, Field::Image, {0x15}},
    {isThisTamskoPlatform, Field::Hardware, {0x35}},
    {isThisBrivonPlatform, Field::Hardware, {0x36}},
    {isThisKeldarePlatform, Field::Hardware, {0x33}},
    {isThisOstaveroPlatform, Field::Hardware, {0x37}},
    {isThisMirKaldovestaPlatform, Field::Hardware, {0x39}},
    {isThisGorskalPlatform, Field::Hardware, {0x3B}},
    {isThisJanteloPlatform, Field::Hardware, {0x3C}},
    {isThisK62Platform, Field::Model, {0x0720, 0x0726}},
    {isThisK84Platform, Field::Model, {0x0D20}},
    {isThisK84DPlatform, Field::Model, {0x102D}},
    {isThisK62DPlatform, Field::Model, {0x072D}},
    {isThisK40DPlatform, Field::Model, {0x0C2D}},
};

// Bits 16-31 belong to the agent and never change an answer.
const uint32_t kUppers[] = {0, 0x00010000u, 0x0A0A0000u, 0x7FFF0000u, 0x80000000u, 0xFFFF0000u};

// A code whose field holds value; the other bits of the low 16 vary with it
// so that a predicate reading the wrong field shows.
int codeWith(Field field, uint32_t value, uint32_t upper) {
    uint32_t low = field == Field::Image      ? value << 8 | ((value * 37 + 11) & 0xFF)
                   : field == Field::Hardware ? ((value * 53 + 7) & 0xFF) << 8 | value
                                              : value;
    return static_cast<int>(low | upper);
}

TEST(PlatformPredicateTest, EachAcceptsExactlyItsValues) {
    for (const Predicate &predicate : kPredicates) {
        uint32_t last = predicate.field == Field::Model ? 0xFFFF : 0xFF;
        for (uint32_t value = 0; value <= last; ++value) {
            bool expected = predicate.accepted.count(value) == 1;
            // Every upper half for the values accepted, one of them for the rest.
            for (size_t index = 0; index < std::size(kUppers); ++index) {
                if (expected || index == value % std::size(kUppers)) {
                    ASSERT_EQ(predicate.function(codeWith(predicate.field, value, kUppers[index])),
                              expected ? 1 : 0)
                        << (&predicate - kPredicates) << " value " << std::hex << value
                        << " upper " << kUppers[index];
                }
            }
        }
    }
}

// Image in bits 8-15, hardware in bits 0-7: the 64-bit images, the WES 7 P
// image on two designs only, and four designs whatever their image.
TEST(PlatformPredicateTest, SixtyFourBitDesigns) {
    const std::pair<uint32_t, int> cases[] = {
        {0x1500, 1}, {0x1100, 1}, {0x0E36, 1}, {0x0E33, 1}, {0x0E35, 0}, {0x0A36, 0},
        {0x0F33, 0}, {0x0037, 1}, {0x0B39, 1}, {0x0E3B, 1}, {0x113C, 1}, {0x1038, 0},
        {0x1600, 0}, {0x360E, 0}, {0x0000, 0}, {0x0D0E, 0}};
    for (const auto &[code, expected] : cases) {
        for (uint32_t upper : kUppers) {
            EXPECT_EQ(isThis64BitArch(static_cast<int>(code | upper)), expected)
                << std::hex << code << " upper " << upper;
        }
    }
}

}  // namespace
