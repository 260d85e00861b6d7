// The simulated thin client's platform pieces: the system tool, ifconfig and
// dmidecode stand-ins, the firmware files and the master boot records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class SimulatedPlatformTest : public assets_test::AssetDeviceTest {
protected:
    // Runs a line on the device; its standard output.
    std::string output(const std::string &line, int *status = nullptr) {
        int result = sim::chrootRunner((line + " > /tmp/captured").c_str());
        if (status != nullptr) {
            *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        }
        return support::readFile(hostPath("/tmp/captured"));
    }
};

TEST_F(SimulatedPlatformTest, SystemToolAnswersForItsPlatform) {
    EXPECT_EQ(sim::platformOf(root), "Zinth");
    EXPECT_EQ(output("sys get platform"), "Zinth\n");
    EXPECT_EQ(output("sys get bios-version"), "Z1.0.7\n");
    std::string error;
    ASSERT_TRUE(sim::setPlatform(root, "nevika-sst49lf160c", &error)) << error;
    EXPECT_EQ(sim::platformOf(root), "Nevika-SST49LF160C");
    EXPECT_EQ(output("sys get platform"), "Nevika-SST49LF160C\n");
    EXPECT_EQ(output("sys get bios-version"), "H2.3.1\n");
    EXPECT_EQ(support::readFile(hostPath("/proc/bios")),
              "BiosVendor: Phoenix Technologies LTD\nBiosVersion: H2.3.1\nBiosDate: 09/02/2012\n"
              "MemorySize: 2048\n");
    EXPECT_EQ(support::readFile(hostPath("/sys/class/dmi/id/product_name")), "H CLASS HT520\n");
    EXPECT_EQ(support::readFile(hostPath("/tmp/FixedDevice")), "sda\n");

    int status = 0;
    EXPECT_EQ(output("sys get serial", &status), "");
    EXPECT_EQ(status, 2);
    sim::setKnob(root, "sys.exit", "3");
    EXPECT_EQ(output("sys get platform", &status), "");
    EXPECT_EQ(status, 3);
    EXPECT_THAT(sim::programLog(root),
                ElementsAre("sys get platform", "sys get bios-version", "sys get platform",
                            "sys get bios-version", "sys get serial", "sys get platform"));
    // The names it knows.
    EXPECT_THAT(sim::platformNames(),
                ElementsAre("Zinth", "Nevika-SST49LF160C", "Korvel", "Tavorin", "Lirrane", "NPZ"));
    EXPECT_TRUE(sim::isPlatformName("npz"));
    EXPECT_FALSE(sim::isPlatformName("NP"));
}

TEST_F(SimulatedPlatformTest, DmidecodeDecodesTheOemStrings) {
    setOemStrings({"Cisco Systems, Inc.", "tpm=01"});
    EXPECT_EQ(output("dmidecode -t 11"),
              "# dmidecode 3.4\n"
              "Getting SMBIOS data from sysfs.\n"
              "SMBIOS 2.7 present.\n"
              "\n"
              "Handle 0x0B00, DMI type 11, 5 bytes\n"
              "OEM Strings\n"
              "\tString 1: Cisco Systems, Inc.\n"
              "\tString 2: tpm=01\n"
              "\n");
    EXPECT_THAT(output("dmidecode -t 1"), Not(HasSubstr("OEM Strings")));
    support::removeTree(hostPath("/sys/firmware/dmi/entries"));
    EXPECT_THAT(output("dmidecode -t 11"), Not(HasSubstr("Handle")));
}

TEST_F(SimulatedPlatformTest, MasterBootRecordLayout) {
    std::string sector = sim::masterBootRecord({{2, 0x80, 0x83, 2048, 0x01020304}});
    ASSERT_EQ(sector.size(), 512u);
    EXPECT_EQ(static_cast<unsigned char>(sector[510]), 0x55);
    EXPECT_EQ(static_cast<unsigned char>(sector[511]), 0xAA);
    const unsigned char *entry = reinterpret_cast<const unsigned char *>(sector.data()) + 446 + 32;
    EXPECT_EQ(entry[0], 0x80);
    EXPECT_EQ(entry[4], 0x83);
    // LBA 2048 is cylinder 0, head 32, sector 33.
    EXPECT_EQ(entry[1], 32);
    EXPECT_EQ(entry[2], 33);
    EXPECT_EQ(entry[3], 0);
    EXPECT_EQ(std::vector<unsigned char>(entry + 8, entry + 16),
              (std::vector<unsigned char>{0x00, 0x08, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01}));
    // Entries 0, 1 and 3 are empty.
    for (int index : {0, 1, 3}) {
        EXPECT_EQ(sector.substr(446 + 16 * index, 16), std::string(16, '\0')) << index;
    }
    std::string unsigned_ = sim::masterBootRecord({{0, 0x80, 0x83, 63, 100}}, false);
    EXPECT_EQ(unsigned_.substr(510), std::string(2, '\0'));
    EXPECT_EQ(unsigned_.substr(446, 16),
              sim::masterBootRecord({{0, 0x80, 0x83, 63, 100}}).substr(446, 16));
}

}  // namespace
