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

// A fault or a family the models do not know would leave a test that sets
// it running on a healthy controller.
TEST_F(NicDeviceTest, UnknownFaultsAndFamiliesAreRefused) {
    std::string error;
    ASSERT_TRUE(sim::writeNicDevice(root, "rhine", &error)) << error;
    sim::setKnob(root, "nic.fault", "sometimes");
    EXPECT_FALSE(sim::attachNicModel(root, &error));
    EXPECT_THAT(error, HasSubstr("nic.fault: unknown controller fault 'sometimes'"));
    EXPECT_EQ(sim::portBus()->in8(0xe474), 0xFF) << "no model was attached";
    EXPECT_THROW(sim::setNicFault("broken"), std::invalid_argument);
    EXPECT_FALSE(sim::writeNicDevice(root, "e1000", &error));
    EXPECT_THAT(error, HasSubstr("unknown network controller 'e1000'"));
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

    // Another device's controller cannot join it on the bus.
    std::string other = support::makeTempDir("other-device-");
    ASSERT_TRUE(sim::buildDevice(other, &error)) << error;
    EXPECT_FALSE(sim::attachNicModel(other, &error));
    EXPECT_THAT(error, HasSubstr("is on the port bus"));
    support::removeTree(other);
}

}  // namespace
