// The platform-code predicates: which field each reads, exactly which values
// it accepts, its message once per yes, and the 64-bit test built on them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ixo/assets.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;

namespace {

enum class Field { Image, Hardware, Model };

struct Predicate {
    const char *name;
    int (*function)(int);
    Field field;
    std::set<uint32_t> accepted;
    const char *message;
};

const std::vector<Predicate> &predicates() {
    static const std::vector<Predicate> table = {
        {"WES", isThisWESPlatform, Field::Image, {0x0A}, "This is a WES platform !!!!!!!!!!"},
        {"XPE", isThisXPEPlatform, Field::Image, {0x05}, "This is an XPE platform !!!!!!!!!!"},
        {"WESSeven",
         isThisWESSevenPlatform,
         Field::Image,
         {0x0B},
         "This is a WES SEVEN platform !!!!!!!!!!"},
        {"WESSevenP",
         isThisWESSevenPPlatform,
         Field::Image,
         {0x0E},
         "This is a WES SEVEN P platform !!!!!!!!!!"},
        {"OLPVOS",
         isThisOLPVOSPlatform,
         Field::Image,
         {0x08, 0x0C, 0x07, 0x12},
         "This is a  Ostrel Linux, PavikOS platform !!!!!!!!!!"},
        {"OL",
         isThisOLPlatform,
         Field::Image,
         {0x08},
         "This is a  Ostrel Linux platform !!!!!!!!!!"},
        {"WESEight",
         isThisWESEightPlatform,
         Field::Image,
         {0x0F},
         "This is a WES Eight platform !!!!!!!!!!"},
        {"WESEight64",
         isThisWESEight64BitPlatform,
         Field::Image,
         {0x11},
         "This is a WES Eight platform !!!!!!!!!!"},
        {"WindowsTen64",
         isThisWindowsTen64BitPlatform,
         Field::Image,
         {0x15},
         "This is a Windows 10 platform !!!!!!!!!!"},
        {"Tamsko",
         isThisTamskoPlatform,
         Field::Hardware,
         {0x35},
         "This is Tamsko platform !!!!!!!!!!"},
        {"Brivon",
         isThisBrivonPlatform,
         Field::Hardware,
         {0x36},
         "This is Brivon platform !!!!!!!!!!"},
        {"Keldare",
         isThisKeldarePlatform,
         Field::Hardware,
         {0x33},
         "This is Keldare platform !!!!!!!!!!"},
        {"Ostavero",
         isThisOstaveroPlatform,
         Field::Hardware,
         {0x37},
         "This is OstaVero platform !!!!!!!!!!"},
        {"MirKaldovesta",
         isThisMirKaldovestaPlatform,
         Field::Hardware,
         {0x39},
         "This is MirKaldovesta platform !!!!!!!!!!"},
        {"Gorskal",
         isThisGorskalPlatform,
         Field::Hardware,
         {0x3B},
         "This is Gorskal platform !!!!!!!!!!"},
        {"Jantelo",
         isThisJanteloPlatform,
         Field::Hardware,
         {0x3C},
         "This is Jantelo platform !!!!!!!!!!"},
        {"K62",
         isThisK62Platform,
         Field::Model,
         {0x0720, 0x0726},
         "This is K62 or Y62 platform !!!!!!!!!!"},
        {"K84", isThisK84Platform, Field::Model, {0x0D20}, "This is K84 platform !!!!!!!!!!"},
        {"K84D", isThisK84DPlatform, Field::Model, {0x102D}, "This is K84D platform !!!!!!!!!!"},
        {"K62D", isThisK62DPlatform, Field::Model, {0x072D}, "This is K62D platform !!!!!!!!!!"},
        {"K40D", isThisK40DPlatform, Field::Model, {0x0C2D}, "This is K40D platform !!!!!!!!!!"},
    };
    return table;
}

// A code whose field holds value; the other bits of the low 16 vary with it
// so that a predicate reading the wrong field shows.
int codeWith(Field field, uint32_t value) {
    switch (field) {
        case Field::Image:
            return static_cast<int>(value << 8 | ((value * 37 + 11) & 0xFF));
        case Field::Hardware:
            return static_cast<int>(((value * 53 + 7) & 0xFF) << 8 | value);
        case Field::Model:
            return static_cast<int>(value);
    }
    return 0;
}

class PlatformPredicateTest : public ::testing::Test {
protected:
    void SetUp() override { support::clearLog(); }
};

TEST_F(PlatformPredicateTest, EachAcceptsExactlyItsValuesAndLogsOncePerYes) {
    for (const Predicate &predicate : predicates()) {
        uint32_t last = predicate.field == Field::Model ? 0xFFFF : 0xFF;
        for (uint32_t value = 0; value <= last; ++value) {
            bool expected = predicate.accepted.count(value) == 1;
            bool checkLog = expected || value % 61 == 0;
            if (checkLog) {
                support::clearLog();
            }
            int answer = predicate.function(codeWith(predicate.field, value));
            ASSERT_EQ(answer, expected ? 1 : 0) << predicate.name << " value " << std::hex << value;
            if (checkLog) {
                ASSERT_EQ(assets_test::logCount(std::string("[2] ") + predicate.message),
                          expected ? 1 : 0)
                    << predicate.name << " value " << std::hex << value;
                if (!expected) {
                    ASSERT_EQ(support::logText(), "") << predicate.name;
                }
            }
        }
    }
}

TEST_F(PlatformPredicateTest, UpperSixteenBitsNeverChangeAnAnswer) {
    const uint32_t uppers[] = {0x00010000u, 0x0A0A0000u, 0x7FFF0000u, 0x80000000u, 0xFFFF0000u};
    for (const Predicate &predicate : predicates()) {
        for (uint32_t value : predicate.accepted) {
            int code = codeWith(predicate.field, value);
            for (uint32_t upper : uppers) {
                EXPECT_EQ(predicate.function(static_cast<int>(static_cast<uint32_t>(code) | upper)),
                          1)
                    << predicate.name << " upper " << std::hex << upper;
            }
        }
        int rejected = codeWith(predicate.field, predicate.field == Field::Model ? 0x1234 : 0x01);
        for (uint32_t upper : uppers) {
            EXPECT_EQ(predicate.function(static_cast<int>(static_cast<uint32_t>(rejected) | upper)),
                      0)
                << predicate.name << " upper " << std::hex << upper;
        }
    }
    EXPECT_EQ(isThisWESPlatform(static_cast<int>(0xFFFF0A00u)), 1);
}

TEST_F(PlatformPredicateTest, ImageAndHardwareFieldsAreIndependent) {
    EXPECT_EQ(isThisWESPlatform(0x0A35), 1);
    EXPECT_EQ(isThisTamskoPlatform(0x0A35), 1);
    EXPECT_EQ(isThisK62Platform(0x0720), 1);
    EXPECT_EQ(isThisOLPVOSPlatform(0x0720), 1);
    EXPECT_EQ(isThisOLPlatform(0x0720), 0);
    for (int image : {0x08}) {
        EXPECT_EQ(isThisOLPlatform(image << 8), 1);
        EXPECT_EQ(isThisOLPVOSPlatform(image << 8), 1);
    }
    for (int image : {0x0C, 0x07, 0x12}) {
        EXPECT_EQ(isThisOLPlatform(image << 8), 0) << image;
        EXPECT_EQ(isThisOLPVOSPlatform(image << 8), 1) << image;
    }
    // The K models compare image and hardware together.
    EXPECT_EQ(isThisK62Platform(0x0820), 0);
    EXPECT_EQ(isThisK62DPlatform(0x072D), 1);
    EXPECT_EQ(isThisK62DPlatform(0x0D2D), 0);
}

TEST_F(PlatformPredicateTest, SixtyFourBitDesigns) {
    EXPECT_EQ(isThis64BitArch(0x0E36), 1);
    EXPECT_EQ(isThis64BitArch(0x0E33), 1);
    EXPECT_EQ(isThis64BitArch(0x0B36), 0);
    EXPECT_EQ(isThis64BitArch(0x0E35), 0);
    EXPECT_EQ(isThis64BitArch(0x1500), 1);
    EXPECT_EQ(isThis64BitArch(0x1100), 1);
    EXPECT_EQ(isThis64BitArch(0x0F00), 0);
    EXPECT_EQ(isThis64BitArch(0x0036), 0);
    for (int hardware : {0x37, 0x39, 0x3B, 0x3C}) {
        for (int image = 0; image <= 0xFF; ++image) {
            ASSERT_EQ(isThis64BitArch(image << 8 | hardware), 1) << image << " " << hardware;
        }
    }
    for (int code = 0; code <= 0xFFFF; ++code) {
        int image = code >> 8;
        int hardware = code & 0xFF;
        bool expected = image == 0x15 || image == 0x11 ||
                        (image == 0x0E && (hardware == 0x36 || hardware == 0x33)) ||
                        hardware == 0x37 || hardware == 0x39 || hardware == 0x3B ||
                        hardware == 0x3C;
        ASSERT_EQ(isThis64BitArch(code), expected ? 1 : 0) << std::hex << code;
    }
}

TEST_F(PlatformPredicateTest, SixtyFourBitTestsRunInOrderAndLogOnTheWay) {
    support::clearLog();
    EXPECT_EQ(isThis64BitArch(0x0E33), 1);
    // Test 3 holds for the image only; test 4 asks the image again.
    EXPECT_THAT(assets_test::logMessages(), ElementsAre("This is a WES SEVEN P platform !!!!!!!!!!",
                                                        "This is a WES SEVEN P platform !!!!!!!!!!",
                                                        "This is Keldare platform !!!!!!!!!!"));

    support::clearLog();
    EXPECT_EQ(isThis64BitArch(0x0E36), 1);
    EXPECT_THAT(assets_test::logMessages(), ElementsAre("This is a WES SEVEN P platform !!!!!!!!!!",
                                                        "This is Brivon platform !!!!!!!!!!"));

    // The first test that holds ends the walk.
    support::clearLog();
    EXPECT_EQ(isThis64BitArch(0x1537), 1);
    EXPECT_THAT(assets_test::logMessages(),
                ElementsAre("This is a Windows 10 platform !!!!!!!!!!"));

    // The platform predicate is asked only after the image one held.
    support::clearLog();
    EXPECT_EQ(isThis64BitArch(0x0B36), 0);
    EXPECT_EQ(support::logText(), "");

    support::clearLog();
    EXPECT_EQ(isThis64BitArch(0x0A3C), 1);
    EXPECT_THAT(assets_test::logMessages(), ElementsAre("This is Jantelo platform !!!!!!!!!!"));
}

TEST_F(PlatformPredicateTest, RepeatedCallsGiveTheSameAnswerAndMessages) {
    for (int round = 0; round < 3; ++round) {
        support::clearLog();
        EXPECT_EQ(isThis64BitArch(0x1139), 1);
        EXPECT_EQ(isThis64BitArch(0x0B33), 0);
        EXPECT_THAT(assets_test::logMessages(),
                    ElementsAre("This is a WES Eight platform !!!!!!!!!!"));
    }
}

}  // namespace
