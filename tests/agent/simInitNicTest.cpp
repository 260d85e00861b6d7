// ixoAgent sim-init --nic: which network controller the simulated device gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;

namespace {

using e2e::AgentEndToEnd;
using e2e::AgentRun;

TEST_F(AgentEndToEnd, SimInitGivesARhineUnlessAskedOtherwise) {
    AgentRun init = agent({"sim-init", device});
    ASSERT_EQ(init.exitCode, 0) << init.err;
    EXPECT_THAT(init.out, HasSubstr("network controller rhine"));
    EXPECT_EQ(sim::nicFamily(device), "rhine");

    std::string other = work + "/jmicron-device";
    init = agent({"sim-init", "--nic", "jmicron", other});
    ASSERT_EQ(init.exitCode, 0) << init.err;
    EXPECT_THAT(init.out, HasSubstr("simulated thin client ready in " + other + ", network controller jmicron"));
    EXPECT_EQ(sim::nicFamily(other), "jmicron");
    EXPECT_THAT(support::readFile(other + "/proc/bus/pci/devices"), HasSubstr("\t197b0260\t"));
    EXPECT_EQ(sim::nicEeprom(other).size(), 256u);
}

TEST_F(AgentEndToEnd, SimInitKeepsTheEepromOfTheControllerItHas) {
    ASSERT_EQ(agent({"sim-init", device, "--nic", "velocity"}).exitCode, 0);
    std::vector<uint8_t> image = sim::nicEeprom(device);
    ASSERT_EQ(image.size(), 128u);
    image[44] ^= 0xFF;
    std::string error;
    ASSERT_TRUE(sim::setNicEeprom(device, image, &error)) << error;

    ASSERT_EQ(agent({"sim-init", device}).exitCode, 0);
    ASSERT_EQ(agent({"--device-root", device, "sim-init", "--nic", "velocity"}).exitCode, 0);
    EXPECT_EQ(sim::nicFamily(device), "velocity");
    EXPECT_EQ(sim::nicEeprom(device), image);

    // Another controller comes with its own factory image.
    ASSERT_EQ(agent({"sim-init", "--nic", "realtek", device}).exitCode, 0);
    EXPECT_EQ(sim::nicFamily(device), "realtek");
    EXPECT_THAT(support::readFile(device + "/proc/bus/pci/devices"), HasSubstr("\t10ec8139\t"));
    EXPECT_NE(sim::nicEeprom(device), image);
}

TEST_F(AgentEndToEnd, SimInitRefusesAnUnknownController) {
    AgentRun init = agent({"sim-init", "--nic", "e1000", device});
    EXPECT_EQ(init.exitCode, 2);
    EXPECT_THAT(init.err, HasSubstr("--nic: e1000 not in {rhine,velocity,realtek,jmicron}"));
    EXPECT_FALSE(support::exists(device)) << "nothing is built";

    init = agent({"sim-init", device, "--nic"});
    EXPECT_EQ(init.exitCode, 2);
    EXPECT_THAT(init.err, HasSubstr("see 'ixoAgent sim-init --help'"));
    init = agent({"sim-init", "--nic", "rhine", "--nic", "velocity", device});
    EXPECT_EQ(init.exitCode, 2);
    EXPECT_FALSE(support::exists(device));
}

}  // namespace
