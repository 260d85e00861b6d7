// One network interface read from the registry, with the live link state
// that mii-tool reports for wired interfaces, on the simulated device.
// The exported tables as an agent built against another copy of the library
// reads them: by the symbol's size and up to an all-zero row.
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ixo/registry.h"
#include "tests/support/assetsTestSupport.h"
#include "tests/support/platformTestSupport.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using namespace platformtest;

const char kDhcpKeys[] =
    "mac=00:40:63:C1:2A:01\nip=DHCP\naddress=192.0.2.41\nnetmask=255.255.255.0\n"
    "gateway=192.0.2.1\ndhcpserver=192.0.2.2\nspeed=Auto\n";

class InventoryTest : public PlatformTest {
protected:
    int read(const std::string &section) {
        int registry = p_openReg(kTemporary);
        EXPECT_NE(registry, 0);
        int result = getNetworkInterfaceData(registry, record.get(), section.c_str());
        p_CloseNoAction(registry);
        return result;
    }

    // Reads Network-eth0 into a fresh record from a temporary registry of
    // System/interface, that section and the device-wide DNS and WINS sections.
    int readEth0(const std::string &keys, const std::string &primary = "eth0") {
        record = newRecord();
        support::writeFile(hostPath(kTemporary),
                           "[System]\ninterface=" + primary + "\n[Network-eth0]\n" + keys +
                               "[DNS]\ndnsserver1=192.0.2.53\ndnsserver2=192.0.2.54\n"
                               "domainname=branch.example.test\n"
                               "[WINS]\nwinsServer1=192.0.2.70\nwinsServer2=\n");
        return read("Network-eth0");
    }

    // The only interface read so far.
    const NetworkInterface &only() {
        EXPECT_EQ(entryTexts(record->networkList).size(), 1u);
        static NetworkInterface none{};
        return record->networkList != nullptr ? *record->networkList : none;
    }

    std::string capturePath() const { return "/tmp/networkSpeed" + std::to_string(getpid()); }
};

// Only the primary interface, named in any case, is active and DHCP enabled;
// an empty name makes none primary.
TEST_F(InventoryTest, AddressingConfiguredSpeedAndPrimary) {
    struct Case {
        std::string keys;
        uint32_t type;
        std::string dhcpServer;
        uint32_t speedSetting, duplexSetting;
        std::string primary = "eth0";
    };
    const Case cases[] = {
        {"ip=dhcp\nbootp=YES\n", 3, "192.0.2.2", 0, 0, "ETH0"},
        {"ip=dhcp\nbootp=no\n", 2, "192.0.2.2", 0, 0},
        {"ip=dhcp\n", 2, "192.0.2.2", 0, 0, "wlan0"},
        {"ip=dhcp\n", 2, "192.0.2.2", 0, 0, ""},
        {"ip=Static\n", 1, "", 0, 0},                   {"ip=manual\n", 0, "", 0, 0},
        {"speed=100F\n", 0, "", 100, 2},                {"speed=1000H\n", 0, "", 1000, 1},
        {"speed=auto\n", 0, "", 1, 3},                  {"speed=AUTO\n", 0, "", 1, 3},
        {"speed=10H\n", 0, "", 10, 1},                  {"speed=100f\n", 0, "", 100, 0},
        {"speed=\n", 0, "", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keys);
        ASSERT_EQ(readEth0("mac=00:40:63:C1:2A:01\naddress=192.0.2.60\nnetmask=255.255.255.0\n"
                           "gateway=192.0.2.1\ndhcpserver=192.0.2.2\n" + c.keys, c.primary),
                  0);
        uint32_t isPrimary = c.primary == "eth0" || c.primary == "ETH0";
        EXPECT_EQ(only().isPrimary, isPrimary);
        EXPECT_EQ(only().active, isPrimary);
        EXPECT_EQ(only().dhcpEnabled, isPrimary && c.type >= 2 ? 1u : 0u);
        EXPECT_THAT(entryTexts(only().dnsServers), ElementsAre("192.0.2.53", "192.0.2.54"));
        EXPECT_THAT(entryTexts(only().dnsSuffixes), ElementsAre("branch.example.test"));
        // An empty second WINS server adds no entry.
        EXPECT_THAT(entryTexts(only().winsServers), ElementsAre("192.0.2.70"));
        EXPECT_EQ(only().ipAssignmentType, c.type);
        EXPECT_EQ(only().dhcpServer, c.dhcpServer);
        EXPECT_EQ(only().speedSetting, c.speedSetting);
        EXPECT_EQ(only().duplexSetting, c.duplexSetting);
    }
}

// Root's shell writes the report: a link planted at the capture file's name
// is removed, never written through.
TEST_F(InventoryTest, LinkStateFromTheFirstLineOfMiiToolThroughAFreshCapture) {
    support::writeFile(hostPath("/etc/victim"), "keep\n");
    ASSERT_EQ(symlink("/etc/victim", hostPath(capturePath()).c_str()), 0);
    struct Case {
        std::string report;
        bool fails;
        uint32_t linkSpeed, linkDuplex;
    };
    const Case cases[] = {
        {"eth0: negotiated 100baseTx-FD, link ok\n", false, 100, 2},
        {"eth0: no link\n", false, 0, 0},
        // The whole line is searched, the interface's name included.
        {"eth10: no link\n", false, 10, 0},
        {"eth0: negotiated 1000baseT-HD flow-control, link ok\nsecond line 100baseTx-FD\n", false,
         1000, 1},
        {"eth0: 10 Mbit, half duplex, link ok", false, 10, 0},
        {"", false, 0, 0},
        {"eth0: negotiated 100baseTx-FD, link ok\n", true, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.report + (c.fails ? " (failing)" : ""));
        sim::clearRecordedLines();
        sim::setKnob(root, "mii-tool.out", c.report);
        sim::setKnob(root, "mii-tool.exit", c.fails ? "1" : "0");
        support::clearLog();
        ASSERT_EQ(readEth0(kDhcpKeys), 0);
        EXPECT_EQ(only().linkSpeed, c.linkSpeed);
        EXPECT_EQ(only().linkDuplex, c.linkDuplex);
        // The line read is what the log shows of the link, whole and without its end.
        const std::string line = c.report.substr(0, c.report.find('\n'));
        EXPECT_EQ(assets_test::logCount("mii-tool reports '" + line + "'"),
                  !line.empty() && !c.fails ? 1 : 0);
        // The capture file is removed whatever happened.
        EXPECT_EQ(sim::recordedLines().size(), 2u);
        EXPECT_FALSE(support::exists(hostPath(capturePath())));
    }
    EXPECT_EQ(support::readFile(hostPath("/etc/victim")), "keep\n");
}

TEST_F(InventoryTest, UnreadableRequiredValueLeavesTheInterfaceAppended) {
    // A value longer than a registry value cannot be read.
    std::string tooLong(1001, '1');
    EXPECT_EQ(readEth0("mac=00:40:63:C1:2A:01\nip=static\naddress=192.0.2.60\n"
                       "netmask=255.255.255.0\ngateway=" + tooLong + "\n"),
              -1);
    EXPECT_STREQ(only().address, "192.0.2.60");
    EXPECT_STREQ(only().mac, "00:40:63:C1:2A:01");
    EXPECT_EQ(only().ipAssignmentType, 1u);
    EXPECT_STREQ(only().gateway, "");
    EXPECT_STREQ(only().netmask, "");
    EXPECT_THAT(sim::recordedLines(), IsEmpty());

    EXPECT_EQ(readEth0("mac=00:40:63:C1:2A:01\nip=dhcp\naddress=192.0.2.41\ndhcpserver=" +
                       tooLong + "\n"),
              -1);
    EXPECT_EQ(only().ipAssignmentType, 2u);
    EXPECT_EQ(only().dnsServers, nullptr);
}

using platformtest::allZero;

// The size of the exported object as the library's symbol table records it.
size_t exportedSize(const void *object) {
    Dl_info info;
    void *entry = nullptr;
    if (dladdr1(object, &info, &entry, RTLD_DL_SYMENT) == 0 || entry == nullptr) {
        return 0;
    }
    return static_cast<const ElfW(Sym) *>(entry)->st_size;
}

// Every row but the last begins with a name, where the readers look; the
// last is all zeros.
template <typename Row, size_t N>
void expectTable(const Row (&rows)[N], size_t exportedBytes) {
    EXPECT_EQ(exportedSize(rows), exportedBytes);
    for (size_t i = 0; i + 1 < N; ++i) {
        EXPECT_NE(*reinterpret_cast<const char *>(&rows[i]), '\0') << i;
    }
    EXPECT_TRUE(allZero(&rows[N - 1], sizeof(Row)));
}

TEST(PlatformTables, ExportedSizesAndRows) {
    expectTable(platformTranslation, 14u * 72u);
    expectTable(cpuTranslation, 5u * 128u);
    expectTable(networkInterfaces, 4000u);
}

}  // namespace
