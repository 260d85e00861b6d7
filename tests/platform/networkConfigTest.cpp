// A configuration's network interfaces, found by MAC and written into the
// persistent registry, and their change commands, on the simulated device
// with its four interfaces (eth0 primary).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/platformTestSupport.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using namespace platformtest;

class NetworkConfigTest : public PlatformTest {
protected:
    int apply() { return setPlatformData(record.get()); }

    std::string persistent(const std::string &section, const std::string &key) {
        return registryValue(kPersistent, section, key);
    }

    Record record = newRecord();
};

TEST_F(NetworkConfigTest, MacsMatchWithOrWithoutColonsInEitherCase) {
    addInterface(record.get(), {"004063c12a01", 2, "192.0.2.41"});
    addInterface(record.get(),
                 {"00:40:63:c1:2a:02", 1, "198.51.100.20", "255.255.255.0", "198.51.100.1"});
    addInterface(record.get(),
                 {"0040:63C1:2A03", 1, "203.0.113.11", "255.255.255.0", "203.0.113.1"});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth0", "ip"), "DHCP");
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.20");
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.11");
    EXPECT_EQ(std::string(networkInterfaces[0].cachedMac), kEth0Mac);
    EXPECT_EQ(std::string(networkInterfaces[3].cachedMac), kPpp0Mac);
    EXPECT_THAT(support::logText(), HasSubstr("Found Network-wlan0 with mac 00:40:63:C1:2A:02"));
}

TEST_F(NetworkConfigTest, UnknownMacIsSkippedWithItsChangeCommand) {
    addInterface(record.get(), {"00:11:22:33:44:55", 2, "192.0.2.99"});
    // Nothing but colons would normalise to the empty text of an uncached
    // section: it must not match one.
    setRegistryValue(kTemporary, "Network-eth1", "mac", "");
    addInterface(record.get(), {":::", 2, "192.0.2.98"});
    std::string before = support::readFile(hostPath(kPersistent));
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(support::readFile(hostPath(kPersistent)), before);
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("Could not find network interface with mac 00:11:22:33:44:55"));
    EXPECT_THAT(log, HasSubstr("Failed to find network interface with mac 00:11:22:33:44:55"));
    EXPECT_THAT(log, HasSubstr("Failed to find network interface with mac :::"));
    EXPECT_THAT(sim::recordedLines(), ElementsAre(kDnsRestart));
}

TEST_F(NetworkConfigTest, CachedMacSurvivesAnEmptyRegistryValue) {
    addInterface(record.get(), {kWlan0Mac, 1, "198.51.100.20", "255.255.255.0", "198.51.100.1"});
    ASSERT_EQ(apply(), 0);
    setRegistryValue(kTemporary, "Network-wlan0", "mac", "");

    Record second = newRecord();
    addInterface(second.get(), {kWlan0Mac, 1, "198.51.100.21", "255.255.255.0", "198.51.100.1"});
    ASSERT_EQ(setPlatformData(second.get()), 0);
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.21");

    // Without the earlier configuration the section cannot be found.
    clearMacCache();
    Record third = newRecord();
    addInterface(third.get(), {kWlan0Mac, 1, "198.51.100.22", "255.255.255.0", "198.51.100.1"});
    ASSERT_EQ(setPlatformData(third.get()), 0);
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.21");
}

TEST_F(NetworkConfigTest, StaticPrimaryWithOneDnsServerClearsTheSecond) {
    setRegistryValue(kPersistent, "WINS", "winsserver2", "192.0.2.71");
    addInterface(record.get(), {kEth0Mac,
                                1,
                                "192.0.2.60",
                                "255.255.255.0",
                                "192.0.2.1",
                                {"192.0.2.153"},
                                {"lobby.example.test", "ignored.example.test"},
                                {"192.0.2.170"}});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth0", "ip"), "static");
    EXPECT_EQ(persistent("Network-eth0", "address"), "192.0.2.60");
    EXPECT_EQ(persistent("Network-eth0", "netmask"), "255.255.255.0");
    EXPECT_EQ(persistent("Network-eth0", "gateway"), "192.0.2.1");
    EXPECT_EQ(persistent("Network-eth0", "bootp"), "no");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.153");
    EXPECT_EQ(persistent("DNS", "dnsserver2"), "");
    EXPECT_EQ(persistent("DNS", "domainname"), "lobby.example.test");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "false");
    EXPECT_EQ(persistent("WINS", "winsserver1"), "192.0.2.170");
    // A missing second WINS server leaves the key as it was.
    EXPECT_EQ(persistent("WINS", "winsserver2"), "192.0.2.71");
    EXPECT_THAT(support::logText(), HasSubstr("Network-eth0 is primary network, setting DNS info"));
}

TEST_F(NetworkConfigTest, StaticPrimaryWithTwoServersOfEachKind) {
    addInterface(record.get(), {kEth0Mac,
                                1,
                                "192.0.2.60",
                                "255.255.255.0",
                                "192.0.2.1",
                                {"192.0.2.153", "192.0.2.154"},
                                {},
                                {"192.0.2.170", "192.0.2.171"}});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.153");
    EXPECT_EQ(persistent("DNS", "dnsserver2"), "192.0.2.154");
    EXPECT_EQ(persistent("DNS", "domainname"), "branch.example.test");
    EXPECT_EQ(persistent("WINS", "winsserver1"), "192.0.2.170");
    EXPECT_EQ(persistent("WINS", "winsserver2"), "192.0.2.171");
}

TEST_F(NetworkConfigTest, StaticInterfaceThatIsNotPrimaryWritesNoDnsOrWins) {
    std::string dns = persistent("DNS", "dnsserver1");
    addInterface(record.get(), {kEth1Mac,
                                1,
                                "203.0.113.11",
                                "255.255.255.128",
                                "203.0.113.1",
                                {"203.0.113.53"},
                                {"other.example.test"},
                                {"203.0.113.70"}});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.11");
    EXPECT_EQ(persistent("Network-eth1", "netmask"), "255.255.255.128");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), dns);
    EXPECT_EQ(persistent("DNS", "domainname"), "branch.example.test");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "true");
    EXPECT_EQ(persistent("WINS", "winsserver1"), kAbsent);
    EXPECT_THAT(support::logText(),
                HasSubstr("Network-eth1 is NOT the primary network, NOT setting DNS info"));
}

TEST_F(NetworkConfigTest, DhcpPrimaryWritesWinsAutoOnly) {
    setRegistryValue(kPersistent, "WINS", "winsAuto", "false");
    addInterface(record.get(),
                 {kEth0Mac, 2, "192.0.2.41", "", "", {"192.0.2.153"}, {}, {"192.0.2.170"}});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth0", "ip"), "DHCP");
    EXPECT_EQ(persistent("Network-eth0", "bootp"), "no");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "true");
    EXPECT_EQ(persistent("WINS", "winsserver1"), kAbsent);
    EXPECT_EQ(persistent("WINS", "winsserver2"), kAbsent);
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.53");
    // A DHCP interface keeps the gateway it had.
    EXPECT_EQ(persistent("Network-eth0", "gateway"), "192.0.2.1");
}

TEST_F(NetworkConfigTest, BootpIsDhcpWithBootp) {
    addInterface(record.get(), {kPpp0Mac, 3, ""});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-ppp0", "ip"), "DHCP");
    EXPECT_EQ(persistent("Network-ppp0", "bootp"), "yes");
    EXPECT_EQ(persistent("Network-ppp0", "address"), "");
}

TEST_F(NetworkConfigTest, UnknownAddressingWritesOnlyTheAddress) {
    std::string before = persistent("Network-eth1", "ip");
    addInterface(record.get(), {kEth1Mac, 0, "203.0.113.12", "255.0.0.0", "203.0.113.254"});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.12");
    EXPECT_EQ(persistent("Network-eth1", "ip"), before);
    EXPECT_EQ(persistent("Network-eth1", "netmask"), "255.255.255.0");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "true");

    // On the primary interface the WINS keys follow.
    Record primary = newRecord();
    addInterface(primary.get(), {kEth0Mac, 0, "192.0.2.61", "", "", {}, {}, {"192.0.2.170"}});
    ASSERT_EQ(setPlatformData(primary.get()), 0);
    EXPECT_EQ(persistent("Network-eth0", "address"), "192.0.2.61");
    EXPECT_EQ(persistent("Network-eth0", "ip"), "dhcp");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "false");
    EXPECT_EQ(persistent("WINS", "winsserver1"), "192.0.2.170");
}

TEST_F(NetworkConfigTest, ChangeCommandsRunInListOrderInTheForegroundThenDns) {
    setRegistryValue(kTemporary, "Network-wlan0", "onchange",
                     "/usr/sbin/network_restart.sh wlan0 & ");
    setRegistryValue(kTemporary, "Network-eth1", "onchange", " & &  ");
    addInterface(record.get(), {kWlan0Mac, 2, ""});
    addInterface(record.get(), {kEth1Mac, 2, ""});
    addInterface(record.get(), {kEth0Mac, 2, ""});
    ASSERT_EQ(apply(), 0);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("/usr/sbin/network_restart.sh wlan0",
                            "/sbin/sudo su -c \"/usr/sbin/network_restart.sh eth0\"", kDnsRestart));
    EXPECT_THAT(
        sim::programLog(root),
        ElementsAre("network_restart.sh wlan0", "sudo su -c /usr/sbin/network_restart.sh eth0",
                    "su -c /usr/sbin/network_restart.sh eth0", "network_restart.sh eth0",
                    "sudo su -c /usr/sbin/network_restart.sh DNS",
                    "su -c /usr/sbin/network_restart.sh DNS", "network_restart.sh DNS"));
    EXPECT_THAT(support::logText(),
                HasSubstr("Executing '/usr/sbin/network_restart.sh wlan0' as onChange"));
}

TEST_F(NetworkConfigTest, EmptyListStillRestartsDns) {
    ASSERT_EQ(apply(), 0);
    EXPECT_THAT(sim::recordedLines(), ElementsAre(kDnsRestart));
    EXPECT_THAT(sim::programLog(root), Contains("network_restart.sh DNS"));
}

TEST_F(NetworkConfigTest, WithoutTheTemporaryRegistryEveryInterfaceIsPrimaryAndNothingRuns) {
    addInterface(record.get(),
                 {kEth1Mac, 1, "203.0.113.11", "255.255.255.0", "203.0.113.1", {"203.0.113.53"}});
    ASSERT_EQ(apply(), 0);
    sim::clearRecordedLines();
    // A key before any section: the file is no registry and cannot be opened.
    std::string temporary = support::readFile(hostPath(kTemporary));
    support::writeFile(hostPath(kTemporary), "broken=1\n" + temporary);

    Record again = newRecord();
    addInterface(again.get(),
                 {kEth1Mac, 1, "203.0.113.12", "255.255.255.0", "203.0.113.1", {"203.0.113.53"}});
    ASSERT_EQ(setPlatformData(again.get()), 0);
    // The cache kept eth1's MAC; eth1 counts as primary.
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.12");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "203.0.113.53");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "false");
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("error opening registry"));
    EXPECT_THAT(log, HasSubstr("Error opening registry '/tmp/system.conf'"));
}

TEST_F(NetworkConfigTest, WithoutThePersistentRegistryNothingIsWrittenButCommandsRun) {
    std::string broken = "broken=1\n" + support::readFile(hostPath(kPersistent));
    support::writeFile(hostPath(kPersistent), broken);
    addInterface(record.get(), {kEth0Mac, 1, "192.0.2.60", "255.255.255.0", "192.0.2.1"});
    record->hostNameAssignmentType = 2;
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(support::readFile(hostPath(kPersistent)), broken);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("/sbin/sudo su -c \"/usr/sbin/network_restart.sh eth0\"", kDnsRestart));
    std::string log = support::logText();
    EXPECT_THAT(log, HasSubstr("regid NULL in setPlatformConfig"));
    EXPECT_THAT(log, HasSubstr("Failed to find network interface with mac 00:40:63:C1:2A:01"));
}

}  // namespace
