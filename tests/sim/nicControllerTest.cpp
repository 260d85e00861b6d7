// The simulated controller's PCI entry, factory EEPROM images and attaching
// its model.
#include <algorithm>
#include <sstream>

#include "sim/attach.h"
#include "tests/sim/nicDrivers.h"

namespace {

using nicdrivers::bus;
using nicdrivers::wordOf;
using testing::HasSubstr;

// The tab-separated fields of each line of the kernel's PCI list.
std::vector<std::vector<std::string>> pciLines(const std::string &root) {
    std::vector<std::vector<std::string>> entries;
    std::istringstream lines(support::readFile(root + "/proc/bus/pci/devices"));
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LT(line.size(), 513u) << "fits a line buffer of 514 bytes";
        std::istringstream split(line);
        entries.emplace_back();
        for (std::string field; std::getline(split, field, '\t');) {
            entries.back().push_back(field);
        }
    }
    return entries;
}

uint32_t hexField(const std::vector<std::string> &fields, size_t index) {
    return static_cast<uint32_t>(std::stoul(fields.at(index), nullptr, 16));
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
    return image[offset] | image[offset + 1] << 8 | image[offset + 2] << 16 | uint32_t{image[offset + 3]} << 24;
}

bool isPrintable(const std::string &value) {
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
}

using NicControllerTest = nicdrivers::NicModelTest;

TEST_F(NicControllerTest, EachFamilysPciLineInTheKernelsLayout) {
    EXPECT_EQ(sim::nicFamily(root), "rhine") << "a fresh device has a Rhine";
    EXPECT_EQ(support::readFile(hostPath("/etc/sim/nic")), "rhine\n");
    // The controllers a PCI scan looks for, vendor << 16 | device.
    const std::vector<uint32_t> kKnown = {0x10ec8167, 0x10ec8129, 0x10ec8139, 0x11131211,
                                          0x10ec8100, 0x11063065, 0x11063119, 0x197b0260};
    struct Expected {
        const char *family;
        uint32_t ids;
        uint32_t bar0;  // an I/O BAR has bit 0 set
        size_t eepromSize;
    } const kExpected[] = {{"rhine", 0x11063065, 0xe401, 128},
                           {"velocity", 0x11063119, 0xe801, 128},
                           {"realtek", 0x10ec8139, 0xe401, 128},
                           {"jmicron", 0x197b0260, 0xfebfc004, 256}};
    for (const Expected &expected : kExpected) {
        SCOPED_TRACE(expected.family);
        std::string error;
        ASSERT_TRUE(sim::writeNicDevice(root, expected.family, &error)) << error;
        EXPECT_EQ(sim::nicFamily(root), expected.family);
        std::vector<std::vector<std::string>> lines = pciLines(root);
        EXPECT_GT(lines.size(), 5u) << "the chipset is listed too";
        std::vector<std::vector<std::string>> controllers;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(controllers),
                     [&](const auto &fields) { return std::count(kKnown.begin(), kKnown.end(), hexField(fields, 1)) != 0; });
        ASSERT_EQ(controllers.size(), 1u) << "the chipset names no other supported controller";
        // Slot, ids, irq, seven resource starts, seven sizes, the driver.
        ASSERT_EQ(controllers[0].size(), 18u);
        EXPECT_EQ(hexField(controllers[0], 1), expected.ids);
        EXPECT_EQ(controllers[0][3].size(), 16u);
        EXPECT_EQ(hexField(controllers[0], 3), expected.bar0);
        EXPECT_FALSE(controllers[0][17].empty());
        EXPECT_EQ(sim::nicEeprom(root).size(), expected.eepromSize);
        EXPECT_EQ(sim::nicEeprom(root), fileImage());
    }
}

TEST_F(NicControllerTest, FactoryImagesCarryAssetValuesAndValidChecksums) {
    std::vector<uint8_t> via[2];
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which);
        ASSERT_TRUE(sim::writeNicDevice(root, which == 0 ? "rhine" : "velocity", nullptr));
        std::vector<uint8_t> image = via[which] = fileImage();
        ASSERT_EQ(image.size(), 128u);
        EXPECT_EQ(text(image, 0, 3), std::string("\x00\x40\x63", 3)) << "the maker's address block";
        EXPECT_TRUE(isPrintable(text(image, 52, 11)));
        EXPECT_EQ(image[63], 0);
        EXPECT_TRUE(isPrintable(text(image, 40, 4)));
        EXPECT_NE(key(image, 44), 0u);
        EXPECT_NE(key(image, 44), 0xFFFFFFFFu);
    }
    EXPECT_NE(text(via[0], 52, 11), text(via[1], 52, 11)) << "each family has its own values";
    EXPECT_NE(key(via[0], 44), key(via[1], 44));

    ASSERT_TRUE(sim::writeNicDevice(root, "realtek", nullptr));
    std::vector<uint8_t> image = fileImage();
    ASSERT_EQ(image.size(), 128u);
    EXPECT_EQ(wordOf(image, 0), 0x8129);
    EXPECT_EQ(text(image, 14, 3), std::string("\x00\xe0\x4c", 3));
    EXPECT_EQ(wordSum(image, 0, 25), 0u);
    EXPECT_EQ((wordSum(image, 31, 61) + wordOf(image, 63)) & 0xFFFF, 0u);
    EXPECT_TRUE(isPrintable(text(image, 104, 11)));
    EXPECT_EQ(image[115], 0);
    EXPECT_NE(key(image, 120), 0xFFFFFFFFu);
    EXPECT_NE(text(image, 62, 42), std::string(42, '\xff')) << "a CMOS block is there";

    ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", nullptr));
    image = fileImage();
    ASSERT_EQ(image.size(), 256u);
    EXPECT_TRUE(isPrintable(text(image, 0x40, 7)));
    EXPECT_NE(key(image, 0x50), 0xFFFFFFFFu);
    for (size_t offset = 0x40; offset <= 0x58; ++offset) {
        EXPECT_NE(image[offset], 0xFF) << "the window holds data, not erased cells: " << offset;
    }
    EXPECT_EQ(image[0x59], 0xFF);
}

TEST_F(NicControllerTest, ModelsSitAtTheIoBaseOfTheirPciEntryWithTheFaultOfTheKnob) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "velocity", &error)) << error;
    // Move the controller to other ports.
    std::string list = support::readFile(hostPath("/proc/bus/pci/devices"));
    size_t at = list.find("\t            e801\t");
    ASSERT_NE(at, std::string::npos) << list;
    list.replace(at, 18, "\t            c001\t");
    support::writeFile(hostPath("/proc/bus/pci/devices"), list);
    sim::setKnob(root, "nic.fault", "refuse\n");
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_EQ(bus().in8(0xc093) & 0x30, 0x30);
    EXPECT_EQ(bus().in8(0xe893), 0xFF) << "nothing at the old ports";

    sim::resetPortBus();
    attach("jmicron");
    EXPECT_EQ(bus().in32(0x2040) & 0x30, 0x30u);

    sim::resetPortBus();
    attach("realtek");  // which gets no model
    for (uint16_t port = 0xe400; port < 0xe500; ++port) {
        ASSERT_EQ(bus().in8(port), 0xFF) << port;
    }
    EXPECT_EQ(sim::nicEeprom(root), fileImage());
}

TEST_F(NicControllerTest, AttachingNeedsAControllerAndItsFiles) {
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

    ASSERT_TRUE(sim::writeNicDevice(root, "rhine", &error)) << error;
    sim::setKnob(root, "nic.fault", "sometimes");
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("nic.fault: unknown controller fault 'sometimes'"));

    EXPECT_FALSE(sim::attachNicModel(root + "/nowhere", &error));
    EXPECT_EQ(bus().in8(0xe474), 0xFF);
}

TEST_F(NicControllerTest, OneControllerOnTheBusAtATime) {
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

// A program that moves on to another device (the inventory benchmark does)
// must find that device's controller on the bus, not the last one's.
TEST_F(NicControllerTest, AttachingADeviceTakesTheLastDevicesControllerOffTheBus) {
    std::string error;
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    ASSERT_NE(bus().in8(0xe474), 0xFF) << "the Rhine answers";
    std::string other = support::makeTempDir("other-device-");
    ASSERT_TRUE(sim::buildDevice(other, &error)) << error;
    ASSERT_TRUE(sim::writeNicDevice(other, "velocity", &error)) << error;

    EXPECT_TRUE(sim::attachDevice(sim::linkedLibrarySeams(), other, sim::recordingRunner, &error))
        << error;
    EXPECT_EQ(bus().in8(0xe474), 0xFF) << "the first device's Rhine is off the bus";
    EXPECT_NE(bus().in8(0xe893), 0xFF) << "the Velocity answers";
    support::removeTree(other);
}

TEST_F(NicControllerTest, SetEepromReachesFileAndModelAndSurvivesARebuild) {
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

    sim::resetPortBus();
    ASSERT_TRUE(sim::writeNicDevice(root, "jmicron", &error)) << error;
    image = fileImage();
    image[0x50] = 0x01;
    ASSERT_TRUE(sim::setNicEeprom(root, image, &error)) << error;
    ASSERT_TRUE(sim::buildDevice(root, &error)) << error;
    EXPECT_EQ(sim::nicFamily(root), "jmicron") << "rebuilding keeps the controller and its EEPROM";
    EXPECT_EQ(fileImage(), image);
}

}  // namespace
