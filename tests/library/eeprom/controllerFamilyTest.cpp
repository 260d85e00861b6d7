// What the library tells a tool about the controller it found: its family,
// the values its EEPROM stores and its checksum rules, checked against the
// controller models and their factory EEPROMs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/eeprom.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/library/eeprom/eepromTestSupport.h"

namespace {

class ControllerFamilyTest : public eepromtest::EepromTest {};

// Whether the bytes or words a rule covers add up to 0 with its stored sum.
bool checksumHolds(const IxoEepromChecksum &rule, const std::vector<uint8_t> &image) {
    if (rule.sum == IXO_EEPROM_SUM_BYTES) {
        unsigned int sum = image[static_cast<size_t>(rule.stored)];
        for (int at = rule.first; at <= rule.last; ++at) {
            sum += image[static_cast<size_t>(at)];
        }
        return (sum & 0xFF) == 0;
    }
    return (eepromtest::wordSum(image.data(), rule.first, rule.last) +
            eepromtest::wordSum(image.data(), rule.stored, rule.stored)) %
               0x10000 ==
           0;
}

TEST_F(ControllerFamilyTest, EachModelIsReportedWithAFamilyThatFitsItsEeprom) {
    struct Case {
        const char *family;
        unsigned char stored;
        int checksums;  // rules the family keeps
    };
    const Case cases[] = {
        {"rhine", 0x3F, 2},
        {"velocity", 0x3F, 2},
        {"realtek", 0x00, 2},
        {"jmicron", ASSET_SECURITY_KEY, 0},
    };
    ASSERT_EQ(std::size(cases), sim::nicFamilies().size());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.family);
        sim::resetPortBus();
        attachNic(c.family);
        IxoEepromController controller;
        ASSERT_EQ(ixoEepromController(&controller), 0);
        EXPECT_EQ(controller.ioBase, ioBase);
        ASSERT_NE(controller.family, nullptr);
        const IxoEepromFamily &family = *controller.family;
        EXPECT_STREQ(family.name, c.family);
        EXPECT_EQ(family.storedBits, c.stored);

        // The part of the model's EEPROM that the image holds.
        std::vector<uint8_t> image = eepromtest::bytesOf(
            factory.data(), family.firstAddress * static_cast<size_t>(family.unitBytes),
            EEPROM_IMAGE_SIZE);
        int checksums = 0;
        for (const IxoEepromChecksum *rule : {&family.active, &family.full}) {
            if (rule->sum != IXO_EEPROM_SUM_NONE) {
                ++checksums;
                EXPECT_TRUE(checksumHolds(*rule, image)) << rule->first << "-" << rule->last;
            }
        }
        EXPECT_EQ(checksums, c.checksums);
    }
}

TEST_F(ControllerFamilyTest, AScanThatFindsNothingLeavesNoControllerToReport) {
    attachNic("rhine");
    IxoEepromController controller;
    ASSERT_EQ(ixoEepromController(&controller), 0);
    writePciList(eepromtest::otherDevices());
    testing::internal::CaptureStdout();
    EXPECT_EQ(scan_proc_bus_pci(), nullptr);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ixoEepromController(&controller), -1);
    EXPECT_EQ(ixoEepromController(nullptr), -1);
}

}  // namespace
