// A configuration's network interfaces, found by MAC and written into the
// persistent registry, and their change commands, on the simulated device
// with its four interfaces (eth0 primary).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/platformTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using namespace platformtest;

class NetworkConfigTest : public PlatformTest {};

// An unknown MAC is skipped with its change command; nothing but colons would
// normalise to the empty text of an uncached section and must not match one.
// Interfaces that are not primary write no DNS or WINS.
TEST_F(NetworkConfigTest, MacsMatchWithOrWithoutColonsInEitherCase) {
    addInterface(record.get(), {"00:40:63:c1:2a:02", 1, "198.51.100.20", "255.255.255.128", "1",
                                {"203.0.113.53"}, {"other.example.test"}, {"203.0.113.70"}});
    addInterface(record.get(), {"0040:63C1:2A03", 1, "203.0.113.11", "255.255.255.0", "1"});
    addInterface(record.get(), {"00:11:22:33:44:55", 2, "192.0.2.99"});
    addInterface(record.get(), {":::", 2, "192.0.2.98"});
    setRegistryValue(kTemporary, "Network-ppp0", "mac", "");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.20");
    EXPECT_EQ(persistent("Network-wlan0", "netmask"), "255.255.255.128");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.53");
    EXPECT_EQ(persistent("DNS", "domainname"), "branch.example.test");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "true");
    EXPECT_EQ(persistent("WINS", "winsserver1"), kAbsent);
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.11");
    EXPECT_EQ(persistent("Network-ppp0", "address"), kAbsent);
    EXPECT_EQ(persistent("Network-eth0", "address"), "192.0.2.41");
    // Every section's MAC is cached, not only those configured.
    EXPECT_STREQ(networkInterfaces[0].cachedMac, kEth0Mac);
    EXPECT_THAT(sim::recordedLines(),
                ElementsAre("/sbin/sudo su -c \"/usr/sbin/network_restart.sh wlan0\"",
                            "/sbin/sudo su -c \"/usr/sbin/network_restart.sh eth1\"", kDnsRestart));
}

TEST_F(NetworkConfigTest, CachedMacSurvivesAnEmptyRegistryValue) {
    NetworkInterface *net = addInterface(
        record.get(), {kWlan0Mac, 1, "198.51.100.20", "255.255.255.0", "198.51.100.1"});
    ASSERT_EQ(apply(), 0);
    setRegistryValue(kTemporary, "Network-wlan0", "mac", "");
    setText(net->address, "198.51.100.21");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.21");
    // Without the earlier configurations the section cannot be found.
    clearMacCache();
    setText(net->address, "198.51.100.22");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-wlan0", "address"), "198.51.100.21");
}

TEST_F(NetworkConfigTest, StaticPrimaryWritesDnsAndWins) {
    setRegistryValue(kPersistent, "WINS", "winsserver2", "192.0.2.71");
    NetworkInterface *net = addInterface(record.get(), {kEth0Mac, 1, "192.0.2.60", "255.255.255.0",
                                                        "192.0.2.1", {"192.0.2.153"}, {},
                                                        {"192.0.2.170"}});
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("Network-eth0", "ip"), "static");
    EXPECT_EQ(persistent("Network-eth0", "bootp"), "no");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.153");
    // One DNS server clears the second; no suffix and one WINS server leave
    // the others as they were.
    EXPECT_EQ(persistent("DNS", "dnsserver2"), "");
    EXPECT_EQ(persistent("DNS", "domainname"), "branch.example.test");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "false");
    EXPECT_EQ(persistent("WINS", "winsserver1"), "192.0.2.170");
    EXPECT_EQ(persistent("WINS", "winsserver2"), "192.0.2.71");

    setText(addDnsSuffix(net)->suffix, "lobby.example.test");
    setText(addDnsSuffix(net)->suffix, "ignored.example.test");
    setText(addWinsServer(net)->address, "192.0.2.171");
    ASSERT_EQ(apply(), 0);
    EXPECT_EQ(persistent("DNS", "domainname"), "lobby.example.test");
    EXPECT_EQ(persistent("WINS", "winsserver2"), "192.0.2.171");
}

// Only static addressing writes the netmask, gateway and DNS keys.
TEST_F(NetworkConfigTest, PrimaryWithDhcpOrUnknownAddressing) {
    struct Case {
        uint32_t type;
        const char *ipBefore, *ipAfter, *winsBefore, *winsAfter, *winsServer;
    };
    const Case cases[] = {
        {2, "static", "DHCP", "false", "true", kAbsent},
        {0, "manual", "manual", "true", "false", "192.0.2.170"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        setRegistryValue(kPersistent, "Network-eth0", "ip", c.ipBefore);
        setRegistryValue(kPersistent, "WINS", "winsAuto", c.winsBefore);
        record = newRecord();
        addInterface(record.get(), {kEth0Mac, c.type, "192.0.2.61", "255.0.0.0", "192.0.2.254",
                                    {"192.0.2.153"}, {}, {"192.0.2.170"}});
        ASSERT_EQ(apply(), 0);
        EXPECT_EQ(persistent("Network-eth0", "address"), "192.0.2.61");
        EXPECT_EQ(persistent("Network-eth0", "ip"), c.ipAfter);
        EXPECT_EQ(persistent("Network-eth0", "netmask"), "255.255.255.0");
        EXPECT_EQ(persistent("Network-eth0", "gateway"), "192.0.2.1");
        EXPECT_EQ(persistent("DNS", "dnsserver1"), "192.0.2.53");
        EXPECT_EQ(persistent("WINS", "winsAuto"), c.winsAfter);
        EXPECT_EQ(persistent("WINS", "winsserver1"), c.winsServer);
    }
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
}

TEST_F(NetworkConfigTest, WithoutTheTemporaryRegistryEveryInterfaceIsPrimaryAndNothingRuns) {
    addInterface(record.get(),
                 {kEth1Mac, 1, "203.0.113.11", "255.255.255.0", "203.0.113.1", {"203.0.113.53"}});
    // No section has this MAC: it is skipped, and so are its DNS servers,
    // although every interface now counts as primary.
    addInterface(record.get(),
                 {"00:11:22:33:44:55", 1, "192.0.2.99", "255.255.255.0", "192.0.2.1", {"198.51.100.99"}});
    ASSERT_EQ(apply(), 0);
    sim::clearRecordedLines();
    // A key before any section: the file is no registry and cannot be opened.
    std::string temporary = support::readFile(hostPath(kTemporary));
    support::writeFile(hostPath(kTemporary), "broken=1\n" + temporary);

    setText(record->networkList->address, "203.0.113.12");
    ASSERT_EQ(apply(), 0);
    // The cache kept eth1's MAC; eth1 counts as primary.
    EXPECT_EQ(persistent("Network-eth1", "address"), "203.0.113.12");
    EXPECT_EQ(persistent("DNS", "dnsserver1"), "203.0.113.53");
    EXPECT_EQ(persistent("WINS", "winsAuto"), "false");
    EXPECT_THAT(sim::recordedLines(), IsEmpty());
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
}

}  // namespace
