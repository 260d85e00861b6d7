// The simulated controller's PCI entry, factory EEPROM images and attaching
// its model.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/simmodels/nicDrivers.h"

namespace {

using nicdrivers::wordOf;
using testing::HasSubstr;

struct PciEntry {
    uint32_t ids = 0;
    unsigned irq = 0;
    uint32_t bar0 = 0;
    uint32_t bar1 = 0;
    std::string line;
};

// Parsed the way a reader of the kernel's list takes it: five hexadecimal
// numbers from the start of each line.
std::vector<PciEntry> pciEntries(const std::string &root) {
    std::vector<PciEntry> entries;
    std::istringstream lines(support::readFile(root + "/proc/bus/pci/devices"));
    std::string line;
    while (std::getline(lines, line)) {
        PciEntry entry;
        unsigned slot = 0;
        if (std::sscanf(line.c_str(), "%x %x %x %x %x", &slot, &entry.ids, &entry.irq, &entry.bar0,
                        &entry.bar1) == 5) {
            entry.line = line;
            entries.push_back(entry);
        }
    }
    return entries;
}

// The controllers a PCI scan looks for, vendor << 16 | device.
const uint32_t kKnownControllers[] = {0x10ec8167, 0x10ec8129, 0x10ec8139, 0x11131211,
                                      0x10ec8100, 0x11063065, 0x11063119, 0x197b0260};

std::vector<PciEntry> knownControllers(const std::string &root) {
    std::vector<PciEntry> found;
    for (const PciEntry &entry : pciEntries(root)) {
        for (uint32_t ids : kKnownControllers) {
            if (entry.ids == ids) {
                found.push_back(entry);
            }
        }
    }
    return found;
}

unsigned byteSum(const std::vector<uint8_t> &image, size_t first, size_t last) {
    unsigned sum = 0;
    for (size_t offset = first; offset <= last; ++offset) {
        sum += image[offset];
    }
    return sum & 0xFF;
}

unsigned wordSum(const std::vector<uint8_t> &image, size_t first, size_t last) {
    unsigned sum = 0;
    for (size_t word = first; word <= last; ++word) {
        sum += wordOf(image, word);
    }
    return sum & 0xFFFF;
}

std::string text(const std::vector<uint8_t> &image, size_t offset, size_t count) {
    return std::string(image.begin() + offset, image.begin() + offset + count);
}

uint32_t key(const std::vector<uint8_t> &image, size_t offset) {
    return image[offset] | image[offset + 1] << 8 | image[offset + 2] << 16 |
           uint32_t{image[offset + 3]} << 24;
}

bool isPrintable(const std::string &value) {
    for (char c : value) {
        if (c < 0x21 || c > 0x7e) {
            return false;
        }
    }
    return true;
}

using NicDeviceTest = nicdrivers::NicModelTest;

TEST_F(NicDeviceTest, AFreshDeviceHasARhine) {
    EXPECT_EQ(sim::nicFamily(root), "rhine");
    EXPECT_EQ(support::readFile(hostPath("/etc/sim/nic")), "rhine\n");
    std::vector<PciEntry> controllers = knownControllers(root);
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_EQ(controllers[0].ids, 0x11063065u);
    EXPECT_EQ(controllers[0].bar0, 0xe401u) << "an I/O BAR: bit 0 set";
    EXPECT_GT(pciEntries(root).size(), 5u) << "the chipset is listed too";
    EXPECT_EQ(sim::nicEeprom(root).size(), 128u);
}

TEST_F(NicDeviceTest, EachFamilysPciLineInTheKernelsLayout) {
    struct Expected {
        const char *family;
        uint32_t ids;
        uint32_t bar0;
    } const kExpected[] = {{"rhine", 0x11063065, 0xe401},
                           {"velocity", 0x11063119, 0xe801},
                           {"realtek", 0x10ec8139, 0xe401},
                           {"jmicron", 0x197b0260, 0xfebfc004}};
    for (const Expected &expected : kExpected) {
        SCOPED_TRACE(expected.family);
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, expected.family, &error)) << error;
        EXPECT_EQ(sim::nicFamily(root), expected.family);
        std::vector<PciEntry> controllers = knownControllers(root);
        ASSERT_EQ(controllers.size(), 1u) << "the chipset names no other supported controller";
        EXPECT_EQ(controllers[0].ids, expected.ids);
        EXPECT_EQ(controllers[0].bar0, expected.bar0);
        std::vector<std::string> fields;
        std::istringstream split(controllers[0].line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        // Slot, ids, irq, seven resource starts, seven sizes, the driver.
        ASSERT_EQ(fields.size(), 18u);
        EXPECT_EQ(fields[3].size(), 16u);
        EXPECT_FALSE(fields[17].empty());
        for (const PciEntry &entry : pciEntries(root)) {
            EXPECT_LT(entry.line.size(), 513u) << "fits a line buffer of 514 bytes";
        }
        EXPECT_EQ(sim::nicEeprom(root), fileImage());
    }
}

TEST_F(NicDeviceTest, ViaImagesCarryTheAssetValuesAndValidChecksums) {
    for (const char *family : {"rhine", "velocity"}) {
        SCOPED_TRACE(family);
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, family, &error)) << error;
        std::vector<uint8_t> image = fileImage();
        ASSERT_EQ(image.size(), 128u);
        EXPECT_EQ(text(image, 0, 3), std::string("\x00\x40\x63", 3)) << "the maker's address block";
        EXPECT_EQ(byteSum(image, 0, 31), 0u);
        EXPECT_EQ(wordSum(image, 0, 63), 0u);
        EXPECT_TRUE(isPrintable(text(image, 52, 11)));
        EXPECT_EQ(image[63], 0);
        EXPECT_TRUE(isPrintable(text(image, 40, 4)));
        EXPECT_NE(key(image, 44), 0u);
        EXPECT_NE(key(image, 44), 0xFFFFFFFFu);
    }
    std::vector<uint8_t> velocity = fileImage();
    ASSERT_TRUE(sim::writeNicDevice(root, "rhine", nullptr));
    std::vector<uint8_t> rhine = fileImage();
    EXPECT_EQ(text(rhine, 52, 11), "7T3C1045216");
    EXPECT_EQ(key(rhine, 44), 0x5A3C96E1u);
    EXPECT_EQ(text(rhine, 40, 4), "R1.2");
    EXPECT_NE(text(velocity, 52, 11), text(rhine, 52, 11));
    EXPECT_NE(key(velocity, 44), key(rhine, 44));
}

TEST_F(NicDeviceTest, RealtekImageHasBothOfItsChecksums) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "realtek", &error)) << error;
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 128u);
    EXPECT_EQ(wordOf(image, 0), 0x8129);
    EXPECT_EQ(text(image, 14, 3), std::string("\x00\xe0\x4c", 3));
    EXPECT_EQ(wordSum(image, 0, 25), 0u);
    unsigned full = (wordSum(image, 31, 61) + wordOf(image, 63)) & 0xFFFF;
    EXPECT_EQ(full, 0u);
    EXPECT_TRUE(isPrintable(text(image, 104, 11)));
    EXPECT_EQ(image[115], 0);
    EXPECT_NE(key(image, 120), 0xFFFFFFFFu);
    EXPECT_NE(text(image, 62, 42), std::string(42, '\xff')) << "a CMOS block is there";
}

TEST_F(NicDeviceTest, JmicronImageHoldsTheKeyInItsWindow) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", &error)) << error;
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 256u);
    EXPECT_EQ(key(image, 0x50), 0xC7E2193Bu);
    EXPECT_TRUE(isPrintable(text(image, 0x40, 7)));
    for (size_t offset = 0x40; offset <= 0x58; ++offset) {
        EXPECT_NE(image[offset], 0xFF) << "the window holds data, not erased cells: " << offset;
    }
    EXPECT_EQ(image[0x59], 0xFF);
}

TEST_F(NicDeviceTest, ModelsSitAtTheIoBaseOfTheirPciEntry) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "velocity", &error)) << error;
    // Move the controller to other ports.
    std::string list = support::readFile(hostPath("/proc/bus/pci/devices"));
    size_t at = list.find("\t            e801\t");
    ASSERT_NE(at, std::string::npos) << list;
    list.replace(at, 18, "\t            c001\t");
    support::writeFile(hostPath("/proc/bus/pci/devices"), list);
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    sim::setNicFault("refuse");
    EXPECT_EQ(nicdrivers::bus().in8(0xc093) & 0x30, 0x30);
    EXPECT_EQ(nicdrivers::bus().in8(0xe893), 0xFF) << "nothing at the old ports";

    sim::resetPortBus();
    ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", &error)) << error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_EQ(nicdrivers::bus().in32(0x2040) & 0x30, 0x30u);
}

TEST_F(NicDeviceTest, AFaultKnobTakesEffectWhenTheModelIsAttached) {
    sim::setKnob(root, "nic.fault", "refuse\n");
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_EQ(nicdrivers::bus().in8(0xe474) & 0x70, 0x70);

    sim::resetPortBus();
    sim::setKnob(root, "nic.fault", "sometimes");
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("nic.fault: unknown controller fault 'sometimes'"));
    EXPECT_EQ(nicdrivers::bus().in8(0xe474), 0xFF);
}

TEST_F(NicDeviceTest, RealtekGetsNoModel) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "realtek", &error)) << error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    for (uint16_t port = 0xe400; port < 0xe500; ++port) {
        ASSERT_EQ(nicdrivers::bus().in8(port), 0xFF) << port;
    }
    EXPECT_EQ(sim::nicEeprom(root), fileImage());
}

TEST_F(NicDeviceTest, AttachingNeedsAControllerAndItsFiles) {
    std::string error;
    EXPECT_FALSE(sim::writeNicDevice(root, "e1000", &error));
    EXPECT_THAT(error, HasSubstr("unknown network controller 'e1000'"));
    EXPECT_EQ(sim::nicFamily(root), "rhine");

    support::writeFile(hostPath("/etc/sim/nic"), "tulip\n");
    EXPECT_EQ(sim::nicFamily(root), "");
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("has no network controller"));
    EXPECT_TRUE(sim::nicEeprom(root).empty());

    support::writeFile(hostPath("/etc/sim/nic"), "rhine\n");
    support::writeFile(hostPath(sim::kNicEepromFile), std::string(100, '\0'));
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("holds 100 bytes, not the 128"));

    ASSERT_TRUE(sim::writeNicDevice(root, "rhine", &error)) << error;
    support::writeFile(hostPath("/proc/bus/pci/devices"), "0000\t11063123\t0\n");
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("does not list the network controller"));

    EXPECT_FALSE(sim::attachNicModel(root + "/nowhere", &error));
    EXPECT_EQ(nicdrivers::bus().in8(0xe474), 0xFF);
}

TEST_F(NicDeviceTest, OneControllerOnTheBusAtATime) {
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    ASSERT_TRUE(sim::attachNicModel(root + "/", &error)) << "the same device again: " << error;

    std::string other = support::makeTempDir("other-device-");
    ASSERT_TRUE(sim::buildDevice(other, &error)) << error;
    EXPECT_FALSE(sim::attachNicModel(other, &error));
    EXPECT_THAT(error, HasSubstr("is on the port bus"));

    sim::resetPortBus();
    EXPECT_TRUE(sim::attachNicModel(other, &error)) << error;
    support::removeTree(other);
}

TEST_F(NicDeviceTest, SetEepromReachesFileAndModel) {
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    std::vector<uint8_t> image(128, 0x00);
    image[0] = 0x34;
    image[1] = 0x12;
    ASSERT_TRUE(sim::setNicEeprom(root, image, &error)) << error;
    EXPECT_EQ(fileImage(), image);
    EXPECT_EQ(sim::nicEeprom(root), image);
    EXPECT_EQ(nicdrivers::RhineDriver().readWord(0), 0x1234);
    EXPECT_FALSE(sim::setNicEeprom(root, std::vector<uint8_t>(256, 0), &error));
    EXPECT_THAT(error, HasSubstr("holds 128 bytes, not 256"));
}

TEST_F(NicDeviceTest, RebuildingKeepsTheControllerAndItsEeprom) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", &error)) << error;
    std::vector<uint8_t> image = fileImage();
    image[0x50] = 0x01;
    ASSERT_TRUE(sim::setNicEeprom(root, image, &error)) << error;
    ASSERT_TRUE(sim::buildDevice(root, &error)) << error;
    EXPECT_EQ(sim::nicFamily(root), "jmicron");
    EXPECT_EQ(fileImage(), image);
}

}  // namespace
