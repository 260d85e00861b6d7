// ixoAgent end to end: the setConfiguration samples change the simulated
// device's persistent registry exactly as expected, run the interfaces'
// change commands and the restarts in order and write the asset tags; and
// "ixoAgent network" reports the device's interfaces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/agent/agentFixture.h"
#include "tests/support/support.h"

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

using e2e::AgentEndToEnd;
using e2e::AgentRun;

class SetConfigurationEndToEnd : public AgentEndToEnd {
protected:
    std::string expected(const std::string &name) const {
        return support::readFile(std::string(IXO_SOURCE_DIR) + "/tests/agent/expected/" + name);
    }
    std::string persistentRegistry() const {
        return support::readFile(device + "/home/root/system.conf");
    }
    // The device programs that ran, without the lock dialog, which runs
    // beside the command.
    std::vector<std::string> programs() const {
        std::vector<std::string> lines;
        for (const std::string &line : sim::programLog(device)) {
            if (line != "lockdlg") {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // The lines of one interface element of the network document.
    static std::string interfaceOf(const std::string &document, const std::string &section) {
        size_t start = document.find("<section>" + section + "</section>");
        size_t end = document.find("</networkInterface>", start);
        return start == std::string::npos ? "" : document.substr(start, end - start);
    }
};

TEST_F(SetConfigurationEndToEnd, StaticSampleReconfiguresTheDevice) {
    initDevice();
    AgentRun run = agent({"--device-root", device, "run", sample("setConfiguration.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("command: setConfiguration\nresult: 0\nerrorClass: (none)\n"
                                   "message: (none)\nresponse: (none)\n"));
    EXPECT_EQ(persistentRegistry(), expected("setConfiguration.system.conf"));
    EXPECT_THAT(
        programs(),
        ElementsAre(
            "sudo su -c /usr/sbin/network_restart.sh eth0",
            "su -c /usr/sbin/network_restart.sh eth0", "network_restart.sh eth0",
            "sudo su -c /usr/sbin/network_restart.sh wlan0",
            "su -c /usr/sbin/network_restart.sh wlan0", "network_restart.sh wlan0",
            "sudo su -c /usr/sbin/network_restart.sh DNS", "su -c /usr/sbin/network_restart.sh DNS",
            "network_restart.sh DNS", "sudo su -c /usr/sbin/hostname_restart.sh",
            "su -c /usr/sbin/hostname_restart.sh", "hostname_restart.sh",
            "sudo su -c /etc/rc.d/rc.qvwm --no-auto-launch && echo QVWM_RESTART >> /tmp/qvwm-:0.0",
            "su -c /etc/rc.d/rc.qvwm --no-auto-launch && echo QVWM_RESTART >> /tmp/qvwm-:0.0",
            "rc.qvwm --no-auto-launch"));
    EXPECT_THAT(sim::programLog(device), Contains("lockdlg"));
    EXPECT_EQ(support::readFile(device + "/home/root/ixoAssetTags"),
              "location=Lobby, desk 7\ncostCentre=4711\n");
    EXPECT_EQ(support::readFile(device + "/tmp/qvwm-:0.0"), "QVWM_RESTART\n");

    // The same configuration again changes nothing and restarts neither the
    // host name service nor the window manager.
    sim::clearProgramLog(device);
    AgentRun again = agent({"--device-root", device, "run", sample("setConfiguration.xml")});
    EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
    EXPECT_EQ(persistentRegistry(), expected("setConfiguration.system.conf"));
    EXPECT_THAT(programs(),
                AllOf(Contains("network_restart.sh DNS"), Not(Contains("hostname_restart.sh")),
                      Not(Contains("rc.qvwm --no-auto-launch"))));
}

TEST_F(SetConfigurationEndToEnd, DhcpSampleRemovesTheAssetTags) {
    initDevice();
    support::writeFile(device + "/home/root/ixoAssetTags", "location=Warehouse\n");
    AgentRun run = agent({"--device-root", device, "run", sample("setConfigurationDhcp.xml")});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(persistentRegistry(), expected("setConfigurationDhcp.system.conf"));
    EXPECT_THAT(programs(),
                ElementsAre("sudo su -c /usr/sbin/network_restart.sh eth0",
                            "su -c /usr/sbin/network_restart.sh eth0", "network_restart.sh eth0",
                            "sudo su -c /usr/sbin/network_restart.sh eth1",
                            "su -c /usr/sbin/network_restart.sh eth1", "network_restart.sh eth1",
                            "sudo su -c /usr/sbin/network_restart.sh DNS",
                            "su -c /usr/sbin/network_restart.sh DNS", "network_restart.sh DNS",
                            "sudo su -c /usr/sbin/hostname_restart.sh",
                            "su -c /usr/sbin/hostname_restart.sh", "hostname_restart.sh"));
    EXPECT_FALSE(support::exists(device + "/home/root/ixoAssetTags"));
}

TEST_F(SetConfigurationEndToEnd, UnusableConfigurationChangesNothing) {
    initDevice();
    std::string before = persistentRegistry();
    support::writeFile(work + "/bad.xml",
                       "<command name=\"setConfiguration\">\n<parameters>\n"
                       "<networkInterface>\n<mac>00:40:63:C1:2A:01</mac>\n"
                       "<addressing>static</addressing>\n<address>192.0.2.300</address>\n"
                       "<netmask>255.255.255.0</netmask>\n</networkInterface>\n"
                       "</parameters>\n</command>\n");
    AgentRun run = agent({"--device-root", device, "run", work + "/bad.xml"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.out, HasSubstr("result: -1\nerrorClass: invalid_arguments\nmessage: (none)\n"));
    EXPECT_THAT(
        run.err,
        HasSubstr("bad.xml:6: <networkInterface/address> '192.0.2.300' is no IPv4 address"));
    EXPECT_EQ(persistentRegistry(), before);
    EXPECT_THAT(sim::programLog(device), IsEmpty());
}

TEST_F(SetConfigurationEndToEnd, NetworkReportsEveryInterfaceOfTheDevice) {
    initDevice();
    AgentRun run = agent({"--device-root", device, "network"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out,
                HasSubstr("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<networkInterfaces>\n"));
    std::string eth0 = interfaceOf(run.out, "Network-eth0");
    EXPECT_THAT(eth0, HasSubstr("<mac>00:40:63:C1:2A:01</mac>"));
    EXPECT_THAT(eth0, HasSubstr("<ipAssignmentType>2</ipAssignmentType>"));
    EXPECT_THAT(eth0, HasSubstr("<isPrimary>1</isPrimary>"));
    EXPECT_THAT(eth0, HasSubstr("<linkSpeed>100</linkSpeed>\n    <duplexSetting>3</duplexSetting>\n"
                                "    <linkDuplex>2</linkDuplex>"));
    EXPECT_THAT(eth0, HasSubstr("<dnsServers>\n      <dnsServer>192.0.2.53</dnsServer>\n"
                                "      <dnsServer>192.0.2.54</dnsServer>\n    </dnsServers>"));
    EXPECT_THAT(interfaceOf(run.out, "Network-eth1"),
                HasSubstr("<interfaceType>0</interfaceType>"));
    EXPECT_THAT(interfaceOf(run.out, "Network-wlan0"),
                HasSubstr("<interfaceType>2</interfaceType>"));
    EXPECT_THAT(interfaceOf(run.out, "Network-ppp0"), HasSubstr("<onboard>0</onboard>"));
    EXPECT_THAT(run.out, HasSubstr("</networkInterface>\n</networkInterfaces>\n"));
    std::vector<std::string> tools;
    for (const std::string &line : sim::programLog(device)) {
        if (line.rfind("mii-tool", 0) == 0) {
            tools.push_back(line);
        }
    }
    EXPECT_THAT(tools, ElementsAre("mii-tool eth0", "mii-tool ppp0"));
}

TEST_F(SetConfigurationEndToEnd, NetworkReportsTheSectionsAskedFor) {
    initDevice();
    sim::setKnob(device, "mii-tool.out", "eth0: no link\n");
    AgentRun run = agent({"--device-root", device, "network", "eth0"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("<linkSpeed>0</linkSpeed>"));
    EXPECT_THAT(run.out, Not(HasSubstr("Network-wlan0")));

    AgentRun missing = agent({"--device-root", device, "network", "Network-eth9", "wlan0"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("Network-eth9: no such interface"));
    EXPECT_THAT(missing.out, HasSubstr("<section>Network-wlan0</section>"));
}

}  // namespace
