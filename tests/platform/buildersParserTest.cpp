// The agent's builders of the configuration record, its release, and the
// parser of the "setConfiguration" command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/ixoagent.h"
#include "tests/platform/platformTestSupport.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

using namespace platformtest;

bool allZero(const void *bytes, size_t size) {
    const unsigned char *byte = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (byte[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(PlatformBuilders, EntriesAreZeroFilledAndAppendedAtTheEnd) {
    Record record = newRecord();
    NetworkInterface *first = addNetworkInterface(record.get());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(allZero(first, sizeof *first));
    first->linkSpeed = 100;
    NetworkInterface *second = addNetworkInterface(record.get());
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(allZero(second, sizeof *second));
    EXPECT_EQ(record->networkList, first);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(record->networkCount, 2u);

    DnsServerEntry *dns1 = addDnsServer(second);
    DnsServerEntry *dns2 = addDnsServer(second);
    ASSERT_TRUE(dns1 && dns2);
    EXPECT_TRUE(allZero(dns2, sizeof *dns2));
    EXPECT_EQ(second->dnsServers, dns1);
    EXPECT_EQ(dns1->next, dns2);
    DnsSuffixEntry *suffix = addDnsSuffix(second);
    WinsServerEntry *wins1 = addWinsServer(second);
    WinsServerEntry *wins2 = addWinsServer(second);
    ASSERT_TRUE(suffix && wins1 && wins2);
    EXPECT_EQ(second->dnsSuffixes, suffix);
    EXPECT_EQ(second->winsServers, wins1);
    EXPECT_EQ(wins1->next, wins2);
    EXPECT_EQ(first->dnsServers, nullptr);

    WriteableMediaEntry *media1 = addWriteableMedia(record.get());
    WriteableMediaEntry *media2 = addWriteableMedia(record.get());
    ASSERT_TRUE(media1 && media2);
    EXPECT_TRUE(allZero(media2, sizeof *media2));
    EXPECT_EQ(record->writeableMedia, media1);
    EXPECT_EQ(media1->next, media2);

    EXPECT_EQ(addNetworkInterface(nullptr), nullptr);
    EXPECT_EQ(addDnsServer(nullptr), nullptr);
    EXPECT_EQ(addDnsSuffix(nullptr), nullptr);
    EXPECT_EQ(addWinsServer(nullptr), nullptr);
    EXPECT_EQ(addWriteableMedia(nullptr), nullptr);
}

TEST(PlatformBuilders, ReleaseFreesTheListsButNotTheRecord) {
    PlatformData *record = static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData)));
    ASSERT_NE(record, nullptr);
    setText(record->hostName, "kept");
    addInterface(record, {kEth0Mac,
                          1,
                          "192.0.2.60",
                          "255.255.255.0",
                          "192.0.2.1",
                          {"192.0.2.53", "192.0.2.54"},
                          {"a.example.test"},
                          {"192.0.2.70"}});
    addWriteableMedia(record);
    addTag(record, "a", "1");
    EXPECT_EQ(freePlatformData(record), 0);
    EXPECT_EQ(record->networkList, nullptr);
    EXPECT_EQ(record->writeableMedia, nullptr);
    EXPECT_EQ(record->assetTags, nullptr);
    EXPECT_STREQ(record->hostName, "kept");
    // A released record can be filled and released again.
    addNetworkInterface(record);
    EXPECT_EQ(freePlatformData(record), 0);
    std::free(record);
    EXPECT_NE(freePlatformData(nullptr), 0);
}

// ---- the setConfiguration parser ----------------------------------------------

struct ParsedRelease {
    void operator()(PlatformData *record) const {
        freePlatformData(record);
        std::free(record);
    }
};
using Parsed = std::unique_ptr<PlatformData, ParsedRelease>;

class ConfigurationParserTest : public ::testing::Test {
protected:
    void SetUp() override { support::clearLog(); }

    Parsed parse(const std::string &parameters) {
        std::string xml = "<command name=\"setConfiguration\">\n<parameters>\n" + parameters +
                          "</parameters>\n</command>\n";
        std::string error;
        command = agent::parseCommand(xml, "config.xml", &error);
        EXPECT_TRUE(command) << error;
        return Parsed(command ? parseConfigurationCommand(command.get()) : nullptr);
    }

    agent::CommandPtr command;
};

const char kFullConfiguration[] =
    "<lockoutUser>true</lockoutUser>\n"
    "<hostName><assignment>Entered</assignment><name>TC-LOBBY-07</name></hostName>\n"
    "<locale>de_DE.utf8</locale>\n"
    "<networkInterface>\n"
    "  <mac>00:40:63:C1:2A:01</mac>\n"
    "  <addressing>static</addressing>\n"
    "  <address> 192.0.2.60 </address>\n"
    "  <netmask>255.255.255.0</netmask>\n"
    "  <gateway>192.0.2.1</gateway>\n"
    "  <dnsServer>192.0.2.53</dnsServer>\n"
    "  <dnsServer>192.0.2.54</dnsServer>\n"
    "  <dnsSuffix>lobby.example.test</dnsSuffix>\n"
    "  <winsServer>192.0.2.70</winsServer>\n"
    "</networkInterface>\n"
    "<networkInterface><mac>004063c12a02</mac><addressing>DHCP</addressing></networkInterface>\n"
    "<networkInterface><mac>00:40:63:C1:2A:04</mac><addressing>bootp</addressing>"
    "<address>100.64.12.7</address></networkInterface>\n"
    "<assetTag><name>location</name><value>Lobby, desk 7</value></assetTag>\n"
    "<assetTag><name>owner</name><value></value></assetTag>\n";

TEST_F(ConfigurationParserTest, FullConfiguration) {
    Parsed record = parse(kFullConfiguration);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->hostNameAssignmentType, 1u);
    EXPECT_STREQ(record->hostName, "TC-LOBBY-07");
    EXPECT_STREQ(record->locale, "de_DE.utf8");
    ASSERT_EQ(listLength(record->networkList), 3u);
    const NetworkInterface *eth0 = record->networkList;
    EXPECT_STREQ(eth0->mac, "00:40:63:C1:2A:01");
    EXPECT_EQ(eth0->ipAssignmentType, 1u);
    EXPECT_STREQ(eth0->address, "192.0.2.60");
    EXPECT_STREQ(eth0->netmask, "255.255.255.0");
    EXPECT_STREQ(eth0->gateway, "192.0.2.1");
    EXPECT_THAT(entryTexts(eth0->dnsServers), ElementsAre("192.0.2.53", "192.0.2.54"));
    EXPECT_THAT(entryTexts(eth0->dnsSuffixes), ElementsAre("lobby.example.test"));
    EXPECT_THAT(entryTexts(eth0->winsServers), ElementsAre("192.0.2.70"));
    const NetworkInterface *wlan0 = eth0->next;
    EXPECT_STREQ(wlan0->mac, "004063c12a02");
    EXPECT_EQ(wlan0->ipAssignmentType, 2u);
    EXPECT_STREQ(wlan0->address, "");
    EXPECT_EQ(wlan0->dnsServers, nullptr);
    const NetworkInterface *ppp0 = wlan0->next;
    EXPECT_EQ(ppp0->ipAssignmentType, 3u);
    EXPECT_STREQ(ppp0->address, "100.64.12.7");
    std::vector<std::string> tags;
    for (const AssetTagEntry *tag = record->assetTags; tag != nullptr; tag = tag->next) {
        tags.push_back(std::string(tag->name) + "=" + tag->value);
    }
    EXPECT_THAT(tags, ElementsAre("location=Lobby, desk 7", "owner="));
}

TEST_F(ConfigurationParserTest, EmptyConfigurationAndOtherAssignments) {
    Parsed empty = parse("");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->hostNameAssignmentType, 0u);
    EXPECT_EQ(empty->networkList, nullptr);
    EXPECT_EQ(empty->assetTags, nullptr);
    EXPECT_STREQ(empty->locale, "");
    const char *const words[] = {"mac", "DHCP", "dns"};
    for (uint32_t type = 2; type <= 4; ++type) {
        Parsed record = parse(std::string("<hostName><assignment>") + words[type - 2] +
                              "</assignment></hostName>");
        ASSERT_TRUE(record) << words[type - 2];
        EXPECT_EQ(record->hostNameAssignmentType, type);
        EXPECT_STREQ(record->hostName, "");
    }
    // The longest values that fit their registry key and record field.
    Parsed longest =
        parse("<hostName><assignment>entered</assignment><name>" + std::string(1000, 'h') +
              "</name></hostName><assetTag><name>" + std::string(1023, 'n') + "</name><value>" +
              std::string(1023, 'v') + "</value></assetTag>");
    ASSERT_TRUE(longest);
    EXPECT_EQ(std::string(longest->hostName).size(), 1000u);
    EXPECT_EQ(std::string(longest->assetTags->value).size(), 1023u);
}

TEST_F(ConfigurationParserTest, UnusableCommandsNameTheElement) {
    const std::string nic = "<networkInterface><mac>00:40:63:C1:2A:01</mac>";
    const std::string staticNic =
        nic + "<addressing>static</addressing><netmask>255.255.255.0</netmask>";
    struct Case {
        std::string parameters;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"<hostName><assignment>static</assignment></hostName>",
         "config.xml:3: <hostName/assignment> 'static' is no assignment type"},
        {"<hostName><assignment>entered</assignment></hostName>",
         "<hostName> with the assignment 'entered' needs a <name>"},
        {"<hostName><assignment>mac</assignment><name>x</name></hostName>",
         "<hostName/name> is given only with"},
        {"<hostName>TC-1</hostName>", "<hostName> holds no elements"},
        {"<hostName><assignment>entered</assignment><name>" + std::string(1001, 'h') +
             "</name></hostName>",
         "<hostName/name> is 1001 characters long; at most 1000 fit"},
        {"<hostName><assignment>entered</assignment><name>a;reboot</name></hostName>",
         "is no host name"},
        {"<locale>de_DE.utf8</locale><locale>en_US</locale>",
         "config.xml:3: <locale> is given more than once"},
        {"<locale>de DE</locale>", "<locale> 'de DE' is no locale name"},
        {nic + "<addressing>dhcp</addressing></"
               "networkInterface><networkInterface><mac>004063c12a01</mac>"
               "<addressing>dhcp</addressing></networkInterface>",
         "<networkInterface/mac> '004063c12a01' names an interface again"},
        {"<networkInterface><mac>00:40:63:C1:2A</mac><addressing>dhcp</addressing></"
         "networkInterface>",
         "<networkInterface/mac> '00:40:63:C1:2A' is no MAC address"},
        {"<networkInterface><mac>00:40:63:C1:2A:0G</mac><addressing>dhcp</addressing></"
         "networkInterface>",
         "is no MAC address"},
        {"<networkInterface><mac>0040-63C1-2A01</mac><addressing>dhcp</addressing></"
         "networkInterface>",
         "is no MAC address"},
        {"<networkInterface><addressing>dhcp</addressing></networkInterface>",
         "<networkInterface> has no <mac>"},
        {nic + "</networkInterface>", "<networkInterface> has no <addressing>"},
        {nic + "<addressing>dynamic</addressing></networkInterface>",
         "<networkInterface/addressing> 'dynamic' is no addressing type"},
        {nic + "<addressing>dhcp</addressing><netmask>255.0.0.0</netmask></networkInterface>",
         "<networkInterface/netmask> is given only with the addressing 'static'"},
        {nic + "<addressing>static</addressing><address>192.0.2.60</address></networkInterface>",
         "needs <address> and <netmask>"},
        {staticNic + "<address>192.0.2.256</address></networkInterface>",
         "<networkInterface/address> '192.0.2.256' is no IPv4 address"},
        {staticNic + "<address>192.0.2</address></networkInterface>",
         "'192.0.2' is no IPv4 address"},
        {staticNic + "<address>192.0.2.060</address></networkInterface>", "is no IPv4 address"},
        {staticNic + "<address>192.0.2.60</address><gateway>gw</gateway></networkInterface>",
         "<networkInterface/gateway> 'gw' is no IPv4 address"},
        {staticNic +
             "<address>192.0.2.60</address><dnsServer>192.0.2.1</dnsServer>"
             "<dnsServer>192.0.2.2</dnsServer><dnsServer>192.0.2.3</dnsServer></networkInterface>",
         "<networkInterface/dnsServer> is given more than twice"},
        {staticNic + "<address>192.0.2.60</address><speed>100F</speed></networkInterface>",
         "<networkInterface/speed> is not known here"},
        {"<assetTag><name>a=b</name><value>1</value></assetTag>", "'a=b' is no tag name"},
        {"<assetTag><name>a</name><value>1</value></assetTag><assetTag><name>a</name><value>2</"
         "value></assetTag>",
         "<assetTag/name> 'a' is given again"},
        {"<assetTag><name>a</name></assetTag>", "<assetTag> needs a <name> and a <value>"},
        {"<assetTag><name>a</name><value>" + std::string(1024, 'v') + "</value></assetTag>",
         "<assetTag/value> is 1024 characters long; at most 1023 fit"},
        {"<assetTag><name>a</name><value>line&#10;break</value></assetTag>",
         "holds a control character"},
        {"<reboot>true</reboot>", "<reboot> is not a setConfiguration parameter"},
    };
    for (const Case &bad : cases) {
        support::clearLog();
        Parsed record = parse(bad.parameters);
        EXPECT_FALSE(record) << bad.parameters;
        EXPECT_THAT(support::logText(), HasSubstr(bad.reason)) << bad.parameters;
    }
    EXPECT_EQ(parseConfigurationCommand(nullptr), nullptr);
}

}  // namespace
