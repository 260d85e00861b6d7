// ixoAgent inventory end to end: the real executable collects the inventory
// of simulated thin clients of two platforms and prints the documents the
// agent reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

// The device reports memory and processor as the machine running it does;
// these make the documents the same on every machine.
const char kMeminfo[] =
    "MemTotal:        1014564 kB\n"
    "MemFree:          612304 kB\n"
    "MemAvailable:     800112 kB\n";

const char kCpuinfo[] =
    "processor\t: 0\n"
    "vendor_id\t: CentaurHauls\n"
    "cpu family\t: 6\n"
    "model\t\t: 13\n"
    "model name\t: VIA Eden Processor 1000MHz\n"
    "cpu MHz\t\t: 1000.000\n"
    "cache size\t: 128 KB\n";

class InventoryEndToEnd : public e2e::AgentEndToEnd {
protected:
    void makeDevice(const std::vector<std::string> &options) {
        std::vector<std::string> arguments = {"sim-init"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(device);
        e2e::AgentRun init = agent(arguments);
        ASSERT_EQ(init.exitCode, 0) << init.err;
        support::writeFile(device + "/proc/meminfo", kMeminfo);
        support::writeFile(device + "/proc/cpuinfo", kCpuinfo);
    }

    static std::string expected(const std::string &name) {
        return support::readFile(std::string(IXO_SOURCE_DIR) + "/tests/agent/expected/" + name);
    }
};

TEST_F(InventoryEndToEnd, ZinthWithItsRhineMatchesTheExpectedDocument) {
    makeDevice({"--platform", "Zinth"});
    e2e::AgentRun run =
        agent({"--device-root", device, "--log-file", work + "/agent.log", "inventory", "--xml"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected("inventory-zinth.xml"));
    // The EEPROM layer's hardware messages stay out of the document.
    EXPECT_THAT(run.err, HasSubstr("Found a VIA Technologies adapter"));
}

TEST_F(InventoryEndToEnd, KorvelWithAJmicronMatchesTheExpectedDocument) {
    makeDevice({"--nic", "jmicron", "--platform", "korvel"});
    e2e::AgentRun run =
        agent({"--device-root", device, "--log-file", work + "/agent.log", "inventory", "--xml"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected("inventory-korvel.xml"));
    // Only what the inventory's command lines need ran on the device.
    std::vector<std::string> programs = sim::programLog(device);
    EXPECT_EQ(std::count(programs.begin(), programs.end(), "sys get platform"), 1);
    EXPECT_EQ(std::count(programs.begin(), programs.end(), "dmidecode -t 11"), 1);
}

TEST_F(InventoryEndToEnd, SummaryShowsWhatCouldNotBeReadAsUnavailable) {
    makeDevice({"--platform", "Lirrane"});
    // No controller on the bus and no answer from the system tool.
    std::remove((device + "/proc/bus/pci/devices").c_str());
    sim::setKnob(device, "sys.exit", "1");
    e2e::AgentRun run =
        agent({"--device-root", device, "--log-file", work + "/agent.log", "inventory"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Inventory of the simulated thin client in " + device + "\n"));
    EXPECT_THAT(run.out, HasSubstr("Platform        unavailable (platform type 4)\n"));
    EXPECT_THAT(run.out, HasSubstr("Serial number   unavailable\n"));
    EXPECT_THAT(run.out, HasSubstr("Security key    unavailable\n"));
    EXPECT_THAT(run.out, HasSubstr("BIOS flash      unavailable\n"));
    EXPECT_THAT(run.out, HasSubstr("Memory          1014564 kB\n"));
    EXPECT_THAT(run.out, HasSubstr("Processor       CentaurHauls, 1000 MHz\n"));
    EXPECT_THAT(run.out, HasSubstr("Norv Lumora     yes\n"));
    EXPECT_THAT(run.out, HasSubstr("TPM             present\n"));
    EXPECT_THAT(run.out, HasSubstr("  Network-eth0          00:40:63:C1:2A:01 wired, DHCP"));
    EXPECT_THAT(run.out, HasSubstr("  sdflash               partition 0, type 0x83, active"));
    EXPECT_THAT(run.out, Not(HasSubstr("No ethernet device")));
}

TEST_F(InventoryEndToEnd, ARefreshKeepsThePlatform) {
    makeDevice({"--platform", "Tavorin"});
    e2e::AgentRun refresh = agent({"sim-init", device});
    ASSERT_EQ(refresh.exitCode, 0) << refresh.err;
    EXPECT_EQ(sim::platformOf(device), "Tavorin");
    e2e::AgentRun run = agent({"--device-root", device, "inventory", "--xml"});
    EXPECT_THAT(run.out, HasSubstr("<platform>Tavorin</platform>\n"));
    EXPECT_THAT(run.out, HasSubstr("<platformType>1</platformType>\n"));
}

TEST_F(InventoryEndToEnd, UsageErrorsRunNothing) {
    e2e::AgentRun unknown = agent({"sim-init", "--platform", "Quasar", device});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_THAT(unknown.err, HasSubstr("--platform: Quasar not in {Zinth,"));
    EXPECT_FALSE(sim::isDevice(device));
    e2e::AgentRun missing = agent({"sim-init", device, "--platform"});
    EXPECT_EQ(missing.exitCode, 2);

    initDevice();
    e2e::AgentRun extra = agent({"--device-root", device, "inventory", "--xml", "all"});
    EXPECT_EQ(extra.exitCode, 2);
    EXPECT_THAT(extra.err, HasSubstr("(see 'ixoAgent inventory --help')"));
    e2e::AgentRun both = agent({"--device-root", device, "inventory", "--json", "--xml"});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_THAT(both.out, IsEmpty());
    EXPECT_TRUE(sim::programLog(device).empty());
}

}  // namespace
