// One network interface read from the registry, with the live link state
// that mii-tool reports for wired interfaces, on the simulated device.
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/registry.h"
#include "tests/platform/platformTestSupport.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using namespace platformtest;

const char kDeviceWide[] =
    "[DNS]\n"
    "dnsserver1=192.0.2.53\n"
    "dnsserver2=192.0.2.54\n"
    "domainname=branch.example.test\n"
    "[WINS]\n"
    "winsServer1=192.0.2.70\n"
    "winsServer2=\n";

class InventoryTest : public PlatformTest {
protected:
    // The temporary registry: System/interface, one interface section and
    // the device-wide DNS and WINS sections.
    void writeRegistry(const std::string &primary, const std::string &section,
                       const std::string &keys) {
        support::writeFile(hostPath(kTemporary), "[System]\ninterface=" + primary + "\n[" +
                                                     section + "]\n" + keys + kDeviceWide);
    }

    int read(const std::string &section) {
        int registry = p_openReg(kTemporary);
        EXPECT_NE(registry, 0);
        int result = getNetworkInterfaceData(registry, record.get(), section.c_str());
        p_CloseNoAction(registry);
        return result;
    }

    // The only interface read so far.
    const NetworkInterface &only() {
        EXPECT_EQ(listLength(record->networkList), 1u);
        static NetworkInterface none{};
        return record->networkList != nullptr ? *record->networkList : none;
    }

    std::string capturePath() const { return "/tmp/networkSpeed" + std::to_string(getpid()); }

    std::vector<std::string> miiToolLines() const {
        std::vector<std::string> lines;
        for (const std::string &line : sim::recordedLines()) {
            if (line.find("mii-tool") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    Record record = newRecord();
};

const char kDhcpKeys[] =
    "mac=00:40:63:C1:2A:01\n"
    "ip=DHCP\n"
    "address=192.0.2.41\n"
    "netmask=255.255.255.0\n"
    "gateway=192.0.2.1\n"
    "dhcpserver=192.0.2.2\n"
    "speed=Auto\n";

TEST_F(InventoryTest, DhcpWithoutBootpOnThePrimaryInterface) {
    writeRegistry("eth0", "Network-eth0", kDhcpKeys);
    ASSERT_EQ(read("Network-eth0"), 0);
    const NetworkInterface &net = only();
    EXPECT_STREQ(net.mac, "00:40:63:C1:2A:01");
    EXPECT_EQ(net.ipAssignmentType, 2u);
    EXPECT_EQ(net.dhcpEnabled, 1u);
    EXPECT_EQ(net.active, 1u);
    EXPECT_EQ(net.isPrimary, 1u);
    EXPECT_EQ(net.interfaceType, 1u);
    EXPECT_EQ(net.onboard, 1u);
    EXPECT_STREQ(net.address, "192.0.2.41");
    EXPECT_STREQ(net.netmask, "255.255.255.0");
    EXPECT_STREQ(net.gateway, "192.0.2.1");
    EXPECT_STREQ(net.dhcpServer, "192.0.2.2");
    EXPECT_THAT(entryTexts(net.dnsServers), ElementsAre("192.0.2.53", "192.0.2.54"));
    EXPECT_THAT(entryTexts(net.dnsSuffixes), ElementsAre("branch.example.test"));
    // An empty second WINS server adds no entry.
    EXPECT_THAT(entryTexts(net.winsServers), ElementsAre("192.0.2.70"));
    EXPECT_THAT(support::logText(), HasSubstr("Adding network interface 'Network-eth0'"));
}

TEST_F(InventoryTest, OnlyThePrimaryInterfaceIsActiveAndDhcpEnabled) {
    struct Case {
        std::string primary;
        uint32_t isPrimary;
    };
    // The name is compared in any case; an empty one makes no interface primary.
    const Case cases[] = {{"wlan0", 0}, {"", 0}, {"ETH0", 1}};
    for (const Case &c : cases) {
        record = newRecord();
        writeRegistry(c.primary, "Network-eth0", kDhcpKeys);
        ASSERT_EQ(read("Network-eth0"), 0);
        EXPECT_EQ(only().ipAssignmentType, 2u) << c.primary;
        EXPECT_EQ(only().isPrimary, c.isPrimary) << c.primary;
        EXPECT_EQ(only().dhcpEnabled, c.isPrimary) << c.primary;
        EXPECT_EQ(only().active, c.isPrimary) << c.primary;
    }
}

TEST_F(InventoryTest, AddressingTypes) {
    struct Case {
        std::string ipAndBootp;
        uint32_t type;
        std::string dhcpServer;
    };
    const Case cases[] = {
        {"ip=dhcp\nbootp=YES\n", 3, "192.0.2.2"},
        {"ip=dhcp\nbootp=no\n", 2, "192.0.2.2"},
        {"ip=Static\n", 1, ""},
        {"ip=manual\n", 0, ""},
        {"", 0, ""},
    };
    for (const Case &c : cases) {
        record = newRecord();
        writeRegistry("eth0", "Network-wlan0",
                      "mac=00:40:63:C1:2A:02\naddress=198.51.100.17\nnetmask=255.255.255.0\n"
                      "gateway=198.51.100.1\ndhcpserver=192.0.2.2\n" +
                          c.ipAndBootp);
        ASSERT_EQ(read("Network-wlan0"), 0) << c.ipAndBootp;
        EXPECT_EQ(only().ipAssignmentType, c.type) << c.ipAndBootp;
        EXPECT_STREQ(only().dhcpServer, c.dhcpServer.c_str()) << c.ipAndBootp;
    }
}

TEST_F(InventoryTest, ConfiguredSpeedAndDuplex) {
    struct Case {
        std::string speed;
        uint32_t speedSetting, duplexSetting;
    };
    const Case cases[] = {{"100F", 100, 2}, {"1000H", 1000, 1}, {"auto", 1, 3}, {"AUTO", 1, 3},
                          {"10H", 10, 1},   {"100f", 100, 0},   {"", 0, 0}};
    for (const Case &c : cases) {
        record = newRecord();
        writeRegistry("eth0", "Network-eth0",
                      std::string("mac=00:40:63:C1:2A:01\nip=static\naddress=192.0.2.60\n"
                                  "netmask=255.255.255.0\ngateway=192.0.2.1\nspeed=") +
                          c.speed + "\n");
        ASSERT_EQ(read("Network-eth0"), 0) << c.speed;
        EXPECT_EQ(only().speedSetting, c.speedSetting) << c.speed;
        EXPECT_EQ(only().duplexSetting, c.duplexSetting) << c.speed;
    }
}

TEST_F(InventoryTest, LinkStateFromTheFirstLineOfMiiTool) {
    struct Case {
        std::string report;
        uint32_t linkSpeed, linkDuplex;
    };
    const Case cases[] = {
        {"eth0: negotiated 100baseTx-FD, link ok\n", 100, 2},
        {"eth0: no link\n", 0, 0},
        // The whole line is searched, the interface's name included.
        {"eth10: no link\n", 10, 0},
        {"eth0: negotiated 1000baseT-HD flow-control, link ok\nsecond line 100baseTx-FD\n", 1000,
         1},
        {"eth0: 10 Mbit, half duplex, link ok", 10, 0},
    };
    for (const Case &c : cases) {
        record = newRecord();
        sim::clearRecordedLines();
        sim::setKnob(root, "mii-tool.out", c.report);
        writeRegistry("eth0", "Network-eth0", kDhcpKeys);
        ASSERT_EQ(read("Network-eth0"), 0) << c.report;
        EXPECT_EQ(only().linkSpeed, c.linkSpeed) << c.report;
        EXPECT_EQ(only().linkDuplex, c.linkDuplex) << c.report;
        EXPECT_THAT(sim::recordedLines(),
                    ElementsAre("sudo su -c \"/sbin/mii-tool eth0 > " + capturePath() + "\"",
                                "sudo su -c \"rm -f " + capturePath() + "\""));
        EXPECT_FALSE(support::exists(hostPath(capturePath())));
    }
    EXPECT_THAT(support::logText(), HasSubstr("mii-tool reports 'eth0: no link'"));
}

TEST_F(InventoryTest, FailingOrSilentMiiToolLeavesTheLinkUnknown) {
    sim::setKnob(root, "mii-tool.exit", "1");
    writeRegistry("eth0", "Network-eth0", kDhcpKeys);
    ASSERT_EQ(read("Network-eth0"), 0);
    EXPECT_EQ(only().linkSpeed, 0u);
    EXPECT_EQ(only().linkDuplex, 0u);
    EXPECT_THAT(support::logText(), HasSubstr("Error executing 'sudo su -c \"/sbin/mii-tool eth0"));
    EXPECT_THAT(sim::recordedLines(), Contains("sudo su -c \"rm -f " + capturePath() + "\""));
    EXPECT_FALSE(support::exists(hostPath(capturePath())));

    sim::removeKnob(root, "mii-tool.exit");
    sim::setKnob(root, "mii-tool.out", "");
    record = newRecord();
    support::clearLog();
    ASSERT_EQ(read("Network-eth0"), 0);
    EXPECT_EQ(only().linkSpeed, 0u);
    EXPECT_THAT(support::logText(), Not(HasSubstr("mii-tool reports")));
    EXPECT_FALSE(support::exists(hostPath(capturePath())));
}

TEST_F(InventoryTest, InterfaceWithoutMacIsAbsent) {
    writeRegistry("eth0", "Network-eth0", "mac=\naddress=192.0.2.41\n");
    EXPECT_EQ(read("Network-eth0"), -1);
    EXPECT_EQ(read("Network-wlan0"), -1);
    EXPECT_EQ(record->networkList, nullptr);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

TEST_F(InventoryTest, UnreadableRequiredValueLeavesTheInterfaceAppended) {
    // A value longer than a registry value cannot be read.
    std::string tooLong(1001, '1');
    writeRegistry("eth0", "Network-eth0",
                  "mac=00:40:63:C1:2A:01\nip=static\naddress=192.0.2.60\n"
                  "netmask=255.255.255.0\ngateway=" +
                      tooLong + "\n");
    EXPECT_EQ(read("Network-eth0"), -1);
    const NetworkInterface &net = only();
    EXPECT_STREQ(net.address, "192.0.2.60");
    EXPECT_STREQ(net.mac, "00:40:63:C1:2A:01");
    EXPECT_EQ(net.ipAssignmentType, 1u);
    EXPECT_STREQ(net.gateway, "");
    EXPECT_STREQ(net.netmask, "");
    EXPECT_THAT(miiToolLines(), IsEmpty());

    record = newRecord();
    writeRegistry(
        "eth0", "Network-eth0",
        "mac=00:40:63:C1:2A:01\nip=dhcp\naddress=192.0.2.41\ndhcpserver=" + tooLong + "\n");
    EXPECT_EQ(read("Network-eth0"), -1);
    EXPECT_EQ(only().ipAssignmentType, 2u);
    EXPECT_EQ(only().dnsServers, nullptr);
}

TEST_F(InventoryTest, WithoutARecordNothingIsAdded) {
    writeRegistry("eth0", "Network-eth0", kDhcpKeys);
    int registry = p_openReg(kTemporary);
    EXPECT_EQ(getNetworkInterfaceData(registry, nullptr, "Network-eth0"), 0);
    EXPECT_EQ(getNetworkInterfaceData(registry, record.get(), nullptr), -1);
    p_CloseNoAction(registry);
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
}

TEST_F(InventoryTest, TypeBySectionAndLinkStateOfWiredInterfacesOnly) {
    // The simulated device's own registry: eth0's speed is Auto, eth1's 100F.
    int registry = p_openReg(kTemporary);
    for (const char *section : {"Network-wlan0", "Network-eth0", "Network-eth1", "Network-ppp0"}) {
        EXPECT_EQ(getNetworkInterfaceData(registry, record.get(), section), 0) << section;
    }
    p_CloseNoAction(registry);
    struct Expected {
        const char *mac;
        uint32_t interfaceType, onboard, speedSetting, linkSpeed;
    };
    // eth1 is read, but as an interface of other type: no speed, no link.
    const Expected expected[] = {{kWlan0Mac, 2, 0, 0, 0},
                                 {kEth0Mac, 1, 1, 1, 100},
                                 {kEth1Mac, 0, 0, 0, 0},
                                 {kPpp0Mac, 1, 0, 0, 100}};
    const NetworkInterface *net = record->networkList;
    for (const Expected &e : expected) {
        ASSERT_NE(net, nullptr);
        EXPECT_STREQ(net->mac, e.mac);
        EXPECT_EQ(net->interfaceType, e.interfaceType) << e.mac;
        EXPECT_EQ(net->onboard, e.onboard) << e.mac;
        EXPECT_EQ(net->speedSetting, e.speedSetting) << e.mac;
        EXPECT_EQ(net->linkSpeed, e.linkSpeed) << e.mac;
        net = net->next;
    }
    EXPECT_EQ(net, nullptr);
    EXPECT_THAT(miiToolLines(),
                ElementsAre("sudo su -c \"/sbin/mii-tool eth0 > " + capturePath() + "\"",
                            "sudo su -c \"/sbin/mii-tool ppp0 > " + capturePath() + "\""));
}

}  // namespace
