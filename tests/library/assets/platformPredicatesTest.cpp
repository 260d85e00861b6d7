// The platform-code predicates: which field each reads, exactly which values
// it accepts, its message once per yes, and the 64-bit test built on them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "ixo/assets.h"
#include "tests/support/assetsTestSupport.h"

namespace {

enum class Field { Image, Hardware, Model };

struct Predicate {
    int (*function)(int);
    Field field;
    std::set<uint32_t> accepted;
    const char *message;  // before " !!!!!!!!!!"
};

const Predicate kPredicates[] = {
    {isThisWESPlatform, Field::Image, {0x0A}, "This is a WES platform"},
    {isThisXPEPlatform, Field::Image, {0x05}, "This is an XPE platform"},
    {isThisWESSevenPlatform, Field::Image, {0x0B}, "This is a WES SEVEN platform"},
    {isThisWESSevenPPlatform, Field::Image, {0x0E}, "This is a WES SEVEN P platform"},
    {isThisOLPVOSPlatform, Field::Image, {0x08, 0x0C, 0x07, 0x12},
     "This is a  Ostrel Linux, PavikOS platform"},
    {isThisOLPlatform, Field::Image, {0x08}, "This is a  Ostrel Linux platform"},
    {isThisWESEightPlatform, Field::Image, {0x0F}, "This is a WES Eight platform"},
    {isThisWESEight64BitPlatform, Field::Image, {0x11}, "This is a WES Eight platform"},
    {isThisWindowsTen64BitPlatform, Field::Image, {0x15}, "This is a Windows 10 platform"},
    {isThisTamskoPlatform, Field::Hardware, {0x35}, "This is Tamsko platform"},
    {isThisBrivonPlatform, Field::Hardware, {0x36}, "This is Brivon platform"},
    {isThisKeldarePlatform, Field::Hardware, {0x33}, "This is Keldare platform"},
    {isThisOstaveroPlatform, Field::Hardware, {0x37}, "This is OstaVero platform"},
    {isThisMirKaldovestaPlatform, Field::Hardware, {0x39}, "This is MirKaldovesta platform"},
    {isThisGorskalPlatform, Field::Hardware, {0x3B}, "This is Gorskal platform"},
    {isThisJanteloPlatform, Field::Hardware, {0x3C}, "This is Jantelo platform"},
    {isThisK62Platform, Field::Model, {0x0720, 0x0726}, "This is K62 or Y62 platform"},
    {isThisK84Platform, Field::Model, {0x0D20}, "This is K84 platform"},
    {isThisK84DPlatform, Field::Model, {0x102D}, "This is K84D platform"},
    {isThisK62DPlatform, Field::Model, {0x072D}, "This is K62D platform"},
    {isThisK40DPlatform, Field::Model, {0x0C2D}, "This is K40D platform"},
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

TEST(PlatformPredicateTest, EachAcceptsExactlyItsValuesAndLogsOncePerYes) {
    for (const Predicate &predicate : kPredicates) {
        std::string message = std::string("[2] ") + predicate.message + " !!!!!!!!!!";
        uint32_t last = predicate.field == Field::Model ? 0xFFFF : 0xFF;
        for (uint32_t value = 0; value <= last; ++value) {
            bool expected = predicate.accepted.count(value) == 1;
            // Every upper half for the values accepted, one of them for the rest.
            for (size_t index = 0; index < std::size(kUppers); ++index) {
                if (!expected && index != value % std::size(kUppers)) {
                    continue;
                }
                bool checkLog = expected || value % 61 == 0;
                if (checkLog) {
                    support::clearLog();
                }
                ASSERT_EQ(predicate.function(codeWith(predicate.field, value, kUppers[index])),
                          expected ? 1 : 0)
                    << message << " value " << std::hex << value << " upper " << kUppers[index];
                if (checkLog) {
                    ASSERT_EQ(assets_test::logCount(message), expected ? 1 : 0) << value;
                    ASSERT_EQ(support::logText().empty(), !expected) << value;
                }
            }
        }
    }
}

TEST(PlatformPredicateTest, SixtyFourBitDesigns) {
    for (int code = 0; code <= 0xFFFF; ++code) {
        int image = code >> 8;
        int hardware = code & 0xFF;
        bool expected = image == 0x15 || image == 0x11 ||
                        (image == 0x0E && (hardware == 0x36 || hardware == 0x33)) ||
                        hardware == 0x37 || hardware == 0x39 || hardware == 0x3B ||
                        hardware == 0x3C;
        uint32_t upper = kUppers[static_cast<size_t>(code) % std::size(kUppers)];
        ASSERT_EQ(isThis64BitArch(static_cast<int>(static_cast<uint32_t>(code) | upper)),
                  expected ? 1 : 0)
            << std::hex << code << " upper " << upper;
    }
}

TEST(PlatformPredicateTest, SixtyFourBitTestsRunInOrderAndLogOnTheWay) {
    const std::string sevenP = "This is a WES SEVEN P platform !!!!!!!!!!";
    const std::tuple<int, int, std::vector<std::string>> cases[] = {
        // Test 3 holds for the image only; test 4 asks the image again.
        {0x0E33, 1, {sevenP, sevenP, "This is Keldare platform !!!!!!!!!!"}},
        {0x0E36, 1, {sevenP, "This is Brivon platform !!!!!!!!!!"}},
        // The first test that holds ends the walk.
        {0x1537, 1, {"This is a Windows 10 platform !!!!!!!!!!"}},
        {0x1139, 1, {"This is a WES Eight platform !!!!!!!!!!"}},
        // The platform predicate is asked only after the image one held.
        {0x0B36, 0, {}},
        {0x0B33, 0, {}},
        {0x0A3C, 1, {"This is Jantelo platform !!!!!!!!!!"}},
    };
    for (const auto &[code, expected, messages] : cases) {
        support::clearLog();
        EXPECT_EQ(isThis64BitArch(code), expected) << std::hex << code;
        EXPECT_EQ(assets_test::logMessages(), messages) << std::hex << code;
    }
}

}  // namespace
