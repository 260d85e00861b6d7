// The simulated network controller: its files in the device and its model on
// the port bus. What the models answer is checked through the library's
// transfers, in the EEPROM suite.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/attach.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using testing::HasSubstr;
using NicDeviceTest = support::SimDeviceTest;

TEST_F(NicDeviceTest, AttachingNeedsAControllerAndItsFiles) {
    const struct {
        const char *file;
        std::string content;
        const char *error;
    } cases[] = {
        {"/etc/sim/nic", "tulip\n", "has no network controller"},
        {sim::kNicEepromFile, std::string(100, '\0'), "holds 100 bytes, not the 128"},
        {"/proc/bus/pci/devices", "0000\t11063123\t0\n", "does not list the network controller"},
        {sim::kNicFaultFile, "sometimes", "nic.fault: unknown controller fault 'sometimes'"},
    };
    std::string error;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(sim::writeNicDevice(root, "rhine", &error)) << error;
        sim::removeKnob(root, "nic.fault");
        support::writeFile(hostPath(c.file), c.content);
        EXPECT_FALSE(sim::attachNicModel(root, &error));
        EXPECT_THAT(error, HasSubstr(c.error));
    }
    EXPECT_FALSE(sim::writeNicDevice(root, "e1000", &error));
    EXPECT_THAT(error, HasSubstr("unknown network controller 'e1000'"));
    EXPECT_FALSE(sim::attachNicModel(root + "/nowhere", &error));
    EXPECT_EQ(sim::portBus()->in8(0xe474), 0xFF) << "no model was attached";
    EXPECT_THROW(sim::setNicFault("broken"), std::invalid_argument);
    EXPECT_FALSE(sim::setNicEeprom(root, std::vector<uint8_t>(256, 0), &error));
    EXPECT_THAT(error, HasSubstr("holds 128 bytes, not 256"));
}

TEST_F(NicDeviceTest, ModelSitsAtItsPciEntrysPortsOneDeviceAtATime) {
    const IxoPortIo &bus = *sim::portBus();
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "velocity", &error)) << error;
    std::string list = support::readFile(hostPath("/proc/bus/pci/devices"));
    size_t at = list.find("\t            e801\t");
    ASSERT_NE(at, std::string::npos) << list;
    support::writeFile(hostPath("/proc/bus/pci/devices"), list.replace(at, 18, "\t            c001\t"));
    ASSERT_TRUE(sim::attachNicModel(root, &error)) << error;
    EXPECT_NE(bus.in8(0xc093), 0xFF) << "the Velocity answers at its moved base";
    EXPECT_EQ(bus.in8(0xe893), 0xFF);
    ASSERT_TRUE(sim::attachNicModel(root + "/", &error)) << "the same device again: " << error;

    std::string other = support::makeTempDir("other-device-");
    ASSERT_TRUE(sim::buildDevice(other, &error)) << error;
    EXPECT_FALSE(sim::attachNicModel(other, &error));
    EXPECT_THAT(error, HasSubstr("is on the port bus"));
    // Attaching another device takes this one's controller off the bus.
    EXPECT_TRUE(sim::attachDevice(sim::linkedLibrarySeams(), other, sim::recordingRunner, &error))
        << error;
    EXPECT_EQ(bus.in8(0xc093), 0xFF);
    EXPECT_NE(bus.in8(0xe474), 0xFF) << "the other device's Rhine answers";
    support::removeTree(other);

}

}  // namespace
