// The parser of the "setConfiguration" command, and the agent's builders of
// the configuration record it fills, and its release.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "tests/support/platformTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using namespace platformtest;

class ConfigurationParserTest : public ::testing::Test {
protected:
    Record parse(const std::string &parameters) {
        std::string xml = "<command name=\"setConfiguration\">\n<parameters>\n" + parameters +
                          "</parameters>\n</command>\n";
        std::string error;
        command = agent::parseCommand(xml, "config.xml", &error);
        EXPECT_TRUE(command) << error;
        return Record(command ? parseConfigurationCommand(command.get()) : nullptr);
    }

    agent::CommandPtr command;
};

// The end-to-end samples check the mapping of every field; these are the
// spellings they do not use.
TEST_F(ConfigurationParserTest, UsableConfigurations) {
    Record record = parse(
        "<lockoutUser>true</lockoutUser>\n"
        "<hostName><assignment>Entered</assignment><name>TC-LOBBY-07</name></hostName>\n"
        "<networkInterface><mac>00:40:63:C1:2A:01</mac><addressing>static</addressing>"
        "<address> 192.0.2.60 </address><netmask>255.255.255.0</netmask>"
        "<dnsServer>192.0.2.53</dnsServer><dnsServer>192.0.2.54</dnsServer></networkInterface>\n"
        "<networkInterface><mac>004063c12a02</mac><addressing>DHCP</addressing>"
        "</networkInterface>\n"
        "<networkInterface><mac>00:40:63:C1:2A:04</mac><addressing>bootp</addressing>"
        "<address>100.64.12.7</address></networkInterface>\n"
        "<assetTag><name>location</name><value>Lobby, desk 7</value></assetTag>\n"
        "<assetTag><name>owner</name><value></value></assetTag>\n");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->hostNameAssignmentType, 1u);
    EXPECT_THAT(entryTexts(record->networkList),
                ElementsAre("00:40:63:C1:2A:01", "004063c12a02", "00:40:63:C1:2A:04"));
    const NetworkInterface *eth0 = record->networkList;
    EXPECT_STREQ(eth0->address, "192.0.2.60");
    EXPECT_THAT(entryTexts(eth0->dnsServers), ElementsAre("192.0.2.53", "192.0.2.54"));
    const NetworkInterface *wlan0 = eth0->next;
    EXPECT_EQ(wlan0->ipAssignmentType, 2u);
    EXPECT_STREQ(wlan0->address, "");
    EXPECT_EQ(wlan0->next->ipAssignmentType, 3u);
    EXPECT_STREQ(wlan0->next->address, "100.64.12.7");
    EXPECT_THAT(entryTexts(record->assetTags), ElementsAre("location", "owner"));
    EXPECT_STREQ(record->assetTags->value, "Lobby, desk 7");
    EXPECT_STREQ(record->assetTags->next->value, "");
    // The builders count what they append; release empties the lists and
    // keeps the record, which can be released again.
    EXPECT_EQ(record->networkCount, 3u);
    EXPECT_EQ(eth0->dnsServerCount, 2u);
    EXPECT_EQ(freePlatformData(record.get()), 0);
    EXPECT_EQ(record->networkList, nullptr);
    EXPECT_EQ(record->assetTags, nullptr);
    EXPECT_EQ(record->networkCount, 0u);

    Record empty = parse("");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(allZero(empty.get(), sizeof *empty));
    const char *const words[] = {"mac", "DHCP", "dns"};
    for (uint32_t type = 2; type <= 4; ++type) {
        Record assigned = parse(std::string("<hostName><assignment>") + words[type - 2] +
                                "</assignment></hostName>");
        ASSERT_TRUE(assigned) << words[type - 2];
        EXPECT_EQ(assigned->hostNameAssignmentType, type);
        EXPECT_STREQ(assigned->hostName, "");
    }
    // The longest values that fit their registry key and record field.
    Record longest =
        parse("<hostName><assignment>entered</assignment><name>" + std::string(1000, 'h') +
              "</name></hostName><assetTag><name>" + std::string(1023, 'n') + "</name><value>" +
              std::string(1023, 'v') + "</value></assetTag>");
    ASSERT_TRUE(longest);
    EXPECT_EQ(std::string(longest->hostName).size(), 1000u);
    EXPECT_EQ(std::string(longest->assetTags->value).size(), 1023u);
}

TEST_F(ConfigurationParserTest, UnusableCommandsNameTheElement) {
    auto nic = [](const std::string &mac, const std::string &inside) {
        return "<networkInterface><mac>" + mac + "</mac>" + inside + "</networkInterface>";
    };
    auto fixed = [&](const std::string &address, const std::string &more = "") {
        return nic(kEth0Mac, "<addressing>static</addressing><netmask>255.255.255.0</netmask>"
                             "<address>" + address + "</address>" + more);
    };
    auto tag = [](const std::string &name, const std::string &value) {
        return "<assetTag><name>" + name + "</name><value>" + value + "</value></assetTag>";
    };
    const std::string dhcp = "<addressing>dhcp</addressing>";
    const std::string entered = "<hostName><assignment>entered</assignment>";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<hostName><assignment>static</assignment></hostName>",
         "config.xml:3: <hostName/assignment> 'static' is no assignment type"},
        {entered + "</hostName>", "<hostName> with the assignment 'entered' needs a <name>"},
        {"<hostName><assignment>mac</assignment><name>x</name></hostName>",
         "<hostName/name> is given only with"},
        {"<hostName>TC-1</hostName>", "<hostName> holds no elements"},
        {entered + "<name>" + std::string(1001, 'h') + "</name></hostName>",
         "<hostName/name> is 1001 characters long; at most 1000 fit"},
        {entered + "<name>a;reboot</name></hostName>", "is no host name"},
        {"<locale>de DE</locale>", "<locale> 'de DE' is no locale name"},
        {nic(kEth0Mac, dhcp) + nic("004063c12a01", dhcp),
         "<networkInterface/mac> '004063c12a01' names an interface again"},
        {nic("00:40:63:C1:2A", dhcp), "<networkInterface/mac> '00:40:63:C1:2A' is no MAC address"},
        {nic("00:40:63:C1:2A:0G", dhcp), "is no MAC address"},
        {"<networkInterface>" + dhcp + "</networkInterface>", "<networkInterface> has no <mac>"},
        {nic(kEth0Mac, ""), "<networkInterface> has no <addressing>"},
        {nic(kEth0Mac, "<addressing>dynamic</addressing>"),
         "<networkInterface/addressing> 'dynamic' is no addressing type"},
        {nic(kEth0Mac, dhcp + "<netmask>255.0.0.0</netmask>"),
         "<networkInterface/netmask> is given only with the addressing 'static'"},
        {nic(kEth0Mac, "<addressing>static</addressing><address>192.0.2.60</address>"),
         "needs <address> and <netmask>"},
        {fixed("192.0.2.256"), "<networkInterface/address> '192.0.2.256' is no IPv4 address"},
        {fixed("192.0.2"), "'192.0.2' is no IPv4 address"},
        {fixed("192.0.2.060"), "is no IPv4 address"},
        {fixed("192.0.2.60", "<dnsServer>192.0.2.1</dnsServer><dnsServer>192.0.2.2</dnsServer>"
                             "<dnsServer>192.0.2.3</dnsServer>"),
         "<networkInterface/dnsServer> is given more than twice"},
        {fixed("192.0.2.60", "<speed>100F</speed>"), "<networkInterface/speed> is not known here"},
        {tag("a=b", "1"), "'a=b' is no tag name"},
        {tag("a", "1") + tag("a", "2"), "<assetTag/name> 'a' is given again"},
        {"<assetTag><name>a</name></assetTag>", "<assetTag> needs a <name> and a <value>"},
        {tag("a", std::string(1024, 'v')),
         "<assetTag/value> is 1024 characters long; at most 1023 fit"},
        {tag("a", "line&#10;break"), "holds a control character"},
        {"<reboot>true</reboot>", "<reboot> is not a setConfiguration parameter"},
    };
    for (const auto &[parameters, reason] : cases) {
        SCOPED_TRACE(parameters);
        support::clearLog();
        EXPECT_FALSE(parse(parameters));
        EXPECT_THAT(support::logText(), HasSubstr(reason));
    }
}

}  // namespace
