// The simulated thin client's pieces the asset tests build on: the dmidecode
// stand-in and the master boot records.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/assetsTestSupport.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class SimulatedPlatformTest : public assets_test::AssetDeviceTest {
protected:
    // Runs a line on the device; its standard output.
    std::string output(const std::string &line) {
        sim::chrootRunner((line + " > /tmp/captured").c_str());
        return support::readFile(hostPath("/tmp/captured"));
    }
};

TEST_F(SimulatedPlatformTest, DmidecodeDecodesTheOemStrings) {
    setOemStrings({"Cisco Systems, Inc.", "tpm=01"});
    EXPECT_THAT(output("dmidecode -t 11"),
                HasSubstr("Handle 0x0B00, DMI type 11, 5 bytes\nOEM Strings\n"
                          "\tString 1: Cisco Systems, Inc.\n\tString 2: tpm=01\n\n"));
    EXPECT_THAT(output("dmidecode -t 1"), Not(HasSubstr("OEM Strings")));
    support::removeTree(hostPath("/sys/firmware/dmi/entries"));
    EXPECT_THAT(output("dmidecode -t 11"), Not(HasSubstr("Handle")));
}

TEST_F(SimulatedPlatformTest, MasterBootRecordGivesTheStartAsChsToo) {
    std::string sector = sim::masterBootRecord({{2, 0x80, 0x83, 2048, 0x01020304}});
    ASSERT_EQ(sector.size(), 512u);
    // LBA 2048 is cylinder 0, head 32, sector 33.
    EXPECT_EQ(sector.substr(446 + 32 + 1, 3), std::string("\x20\x21\x00", 3));
}

}  // namespace
