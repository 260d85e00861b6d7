// The agent's SMBIOS services as the library uses them: strings from the
// DMI files and the OEM strings of the device root, and the key's text form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/assetsTestSupport.h"

namespace {

class SmbiosServicesTest : public assets_test::AssetDeviceTest {
protected:
    // Reads into a buffer guarded on both sides; fails the test when the
    // service wrote outside size bytes or left the text unterminated.
    std::string read(const char *keyword, int size, int *result) {
        std::vector<char> guarded(static_cast<size_t>(size) + 16, '#');
        char *buffer = guarded.data() + 8;
        *result = ReadDmiString(keyword, buffer, size);
        EXPECT_EQ(std::string(guarded.data(), 8), std::string(8, '#'));
        EXPECT_EQ(std::string(buffer + size, 8), std::string(8, '#'));
        size_t length = strnlen(buffer, static_cast<size_t>(size));
        EXPECT_LT(length, static_cast<size_t>(size)) << "not terminated";
        return std::string(buffer, length);
    }
    void writeOemEntry(const std::string &entry, const std::string &raw) {
        writeDeviceFile("/sys/firmware/dmi/entries/" + entry + "/raw", raw);
    }
};

TEST_F(SmbiosServicesTest, StringsFromTheDmiFilesAndTheOemStrings) {
    setMakerAndModel("TYVO", "M CLASS MT410");
    writeDeviceFile("/sys/class/dmi/id/bios_version", "Z1.0.7\n");
    setOemStrings(
        {"Cisco Systems, Inc.", "tpmx=99", "tpm=01", "tyvo-securitykey=0000BEEF", "tpm=11"});
    const std::tuple<const char *, int, const char *, int> cases[] = {
        {"system-manufacturer", 128, "TYVO", 0},  {"system-product-name", 128, "M CLASS MT410", 0},
        {"system-product-name", 8, "M CLASS", 0}, {"system-product-name", 1, "", 0},
        {"bios-version", 32, "Z1.0.7", 0},        {"tpm", 12, "01", 0},
        {"tyvo-securitykey", 10, "0000BEEF", 0},  {"tyvo-securitykey", 5, "0000", 0},
        {"Cisco Systems, Inc.", 64, "", -1},      {"secret", 64, "", -1}};
    for (const auto &[keyword, size, expected, expectedResult] : cases) {
        SCOPED_TRACE(std::string(keyword) + " " + std::to_string(size));
        int result = -7;
        EXPECT_EQ(read(keyword, size, &result), expected);
        EXPECT_EQ(result, expectedResult);
    }
    removeDeviceFile("/sys/class/dmi/id/sys_vendor");
    int result = 0;
    EXPECT_EQ(read("system-manufacturer", 128, &result), "");
    EXPECT_EQ(result, -1);

    // Several structures: in the firmware's order, 11-2 before 11-10.
    writeOemEntry("11-10", std::string("\x0B\x05\x10\x0B\x01tag=ten\0\0", 15));
    writeOemEntry("11-2", std::string("\x0B\x05\x02\x0B\x01tag=two\0\0", 15));
    EXPECT_EQ(read("tag", 16, &result), "two");
    // Without room nothing is written.
    char buffer[4] = "abc";
    EXPECT_EQ(ReadDmiString("system-manufacturer", buffer, 0), -1);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(SmbiosServicesTest, DamagedOemStructuresAreNotRead) {
    // A structure of another type, a formatted area too short or too long,
    // strings without their terminator.
    writeOemEntry("11-0", std::string("\x0C\x05\x00\x0B\x01tpm=01\0\0", 14));
    writeOemEntry("11-1", std::string("\x0B\x03\x00\x0B\x01tpm=01\0\0", 14));
    writeOemEntry("11-2", std::string("\x0B\xF0\x00\x0B\x01tpm=01\0\0", 14));
    writeOemEntry("11-3", std::string("\x0B\x05", 2));
    int result = 0;
    EXPECT_EQ(read("tpm", 12, &result), "");
    EXPECT_EQ(result, -1);
    writeOemEntry("11-4", std::string("\x0B\x05\x00\x0B\x01tpm=10", 11));
    EXPECT_EQ(read("tpm", 12, &result), "10");
}

TEST_F(SmbiosServicesTest, KeyTextIsEightHexadecimalDigits) {
    EXPECT_EQ(convertSecurityKey("0000beef"), 0x0000BEEFu);
    EXPECT_EQ(convertSecurityKey("FFFFFFFF"), 0xFFFFFFFFu);
    for (const char *bad :
         {"", "BEEF", "4E2B7C131", "4E2B7C1G", " 4E2B7C1"}) {
        support::clearLog();
        EXPECT_EQ(convertSecurityKey(bad), 0u) << bad;
        EXPECT_EQ(assets_test::logCount("[1] security key"), 1) << bad;
    }
}

}  // namespace
