// The asset services on the simulated controllers: serial number, security
// key and CMOS block per family, the SMBIOS key, the fixed keys of the M
// CLASS devices, and the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "agent/registry.h"
#include "ixo/assets.h"
#include "ixo/platform_data.h"
#include "sim/nicModels.h"
#include "sim/sim.h"
#include "tests/assets/assetsTestSupport.h"
#include "tests/support/support.h"

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

namespace {

struct FamilyLayout {
    const char *family;
    int keyOffset;     // in the EEPROM, -1: never read (Realtek)
    int serialOffset;  // -1: not served
};

const FamilyLayout kLayouts[] = {
    {"rhine", 44, 52},
    {"velocity", 44, 52},
    {"jmicron", 0x50, -1},
    {"realtek", -1, -1},
};

uint32_t keyAt(const std::vector<uint8_t> &eeprom, int offset) {
    return static_cast<uint32_t>(eeprom[offset]) | static_cast<uint32_t>(eeprom[offset + 1]) << 8 |
           static_cast<uint32_t>(eeprom[offset + 2]) << 16 |
           static_cast<uint32_t>(eeprom[offset + 3]) << 24;
}

std::string hexKey(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", key);
    return text;
}

class AssetValuesTest : public assets_test::AssetDeviceTest {
protected:
    void TearDown() override {
        sim::setNicFault("none");
        assets_test::AssetDeviceTest::TearDown();
    }
    PlatformData record{};

    void setSmbiosFlag(const std::string &value) {
        std::string error;
        ASSERT_TRUE(
            agent::registrySet("/tmp/system.conf", "IxoSettings", "useSmbios", value, &error))
            << error;
    }
};

TEST_F(AssetValuesTest, ReadsSerialAndKeyTextPerFamily) {
    for (const FamilyLayout &layout : kLayouts) {
        useController(layout.family);
        std::vector<uint8_t> eeprom = sim::nicEeprom(root);
        record = PlatformData{};
        std::memset(record.serialNumber, 'x', 40);
        ASSERT_EQ(getEpromAssets(&record), 0) << layout.family;

        std::string expectedKey =
            layout.keyOffset >= 0 ? hexKey(keyAt(eeprom, layout.keyOffset)) : "FFFFFFFF";
        EXPECT_EQ(std::string(record.securityKey), expectedKey) << layout.family;
        EXPECT_EQ(std::strlen(record.securityKey), 8u);
        std::string serial(record.serialNumber, 12);
        if (layout.serialOffset >= 0) {
            EXPECT_EQ(serial, std::string(eeprom.begin() + layout.serialOffset,
                                          eeprom.begin() + layout.serialOffset + 12))
                << layout.family;
        } else if (std::string(layout.family) == "jmicron") {
            EXPECT_EQ(serial, std::string(12, '\0'));
        } else {
            EXPECT_EQ(serial, std::string(12, '\xFF'));
        }
        EXPECT_EQ(record.serialNumber[12], '\0') << layout.family;
        EXPECT_EQ(assets_test::logCount("[3] Security key = " + expectedKey), 1) << layout.family;
        support::clearLog();
        sim::resetPortBus();
    }
}

TEST_F(AssetValuesTest, SerialNumberBufferTakesTwelveBytes) {
    useController("velocity");
    std::vector<uint8_t> eeprom = sim::nicEeprom(root);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(returnSerialNumber(buffer), 0);
    EXPECT_EQ(std::string(buffer, 12), std::string(eeprom.begin() + 52, eeprom.begin() + 64));
    EXPECT_EQ(std::string(buffer + 12, 4), "####");
}

TEST_F(AssetValuesTest, UpdatedKeyReadsBackWithLeadingZeros) {
    for (const char *family : {"rhine", "velocity", "jmicron"}) {
        useController(family);
        ASSERT_EQ(updateSecurityKey(0x0000BEEFu), 0) << family;
        EXPECT_EQ(returnSecurityKey(), 0x0000BEEFu) << family;
        ASSERT_EQ(getEpromAssets(&record), 0);
        EXPECT_STREQ(record.securityKey, "0000BEEF") << family;
        ASSERT_EQ(updateSecurityKey(0xA1B2C3D4u), 0);
        EXPECT_EQ(returnSecurityKey(), 0xA1B2C3D4u) << family;
        const FamilyLayout &layout = std::string(family) == "jmicron" ? kLayouts[2] : kLayouts[0];
        EXPECT_EQ(keyAt(sim::nicEeprom(root), layout.keyOffset), 0xA1B2C3D4u) << family;
        EXPECT_GE(assets_test::logCount("[3] Calling writeEepromAssetValues"), 2);
        sim::resetPortBus();
    }
    // The Realtek's EEPROM is never driven: the key still reads as all ones.
    useController("realtek");
    std::vector<uint8_t> before = sim::nicEeprom(root);
    EXPECT_EQ(updateSecurityKey(0x12345678u), 0);
    EXPECT_EQ(returnSecurityKey(), 0xFFFFFFFFu);
    EXPECT_EQ(sim::nicEeprom(root), before);
}

TEST_F(AssetValuesTest, SetStoresTheRecordsSerialAndKeyText) {
    useController("rhine");
    std::strcpy(record.serialNumber, "SN123456789XYZ");
    std::strcpy(record.securityKey, "00c0ffee");
    ASSERT_EQ(setEpromAssets(&record), 0);
    std::vector<uint8_t> eeprom = sim::nicEeprom(root);
    EXPECT_EQ(keyAt(eeprom, 44), 0x00C0FFEEu);
    EXPECT_EQ(std::string(eeprom.begin() + 52, eeprom.begin() + 63), "SN123456789");
    // The record holds the values written, as text.
    EXPECT_STREQ(record.securityKey, "00C0FFEE");
    EXPECT_STREQ(record.serialNumber, "SN123456789");
    EXPECT_EQ(assets_test::logCount("[3] 00C0FFEE"), 1);
    EXPECT_EQ(assets_test::logCount("[3] After writing Serial no\t:"), 1);

    record = PlatformData{};
    ASSERT_EQ(getEpromAssets(&record), 0);
    EXPECT_STREQ(record.securityKey, "00C0FFEE");
    EXPECT_EQ(std::string(record.serialNumber, 11), "SN123456789");

    // A shorter serial number is stored with zeros after it.
    std::strcpy(record.serialNumber, "AB12");
    std::strcpy(record.securityKey, "DEADBEEF");
    ASSERT_EQ(setEpromAssets(&record), 0);
    eeprom = sim::nicEeprom(root);
    EXPECT_EQ(std::string(eeprom.begin() + 52, eeprom.begin() + 63),
              std::string("AB12\0\0\0\0\0\0\0", 11));
    EXPECT_STREQ(record.serialNumber, "AB12");
    EXPECT_EQ(returnSecurityKey(), 0xDEADBEEFu);
}

TEST_F(AssetValuesTest, SetRefusesAKeyTextThatIsNotEightHexDigits) {
    useController("rhine");
    std::vector<uint8_t> before = sim::nicEeprom(root);
    for (const char *key : {"", "1234567", "123456789", "12345G78", "0x123456", " 1234567",
                            "1234567\n", "-1234567"}) {
        record = PlatformData{};
        std::strcpy(record.serialNumber, "SN123456789");
        std::strcpy(record.securityKey, key);
        support::clearLog();
        EXPECT_EQ(setEpromAssets(&record), -1) << "'" << key << "'";
        EXPECT_EQ(assets_test::logCount("is not 8 hexadecimal digits: nothing written"), 1) << key;
        EXPECT_STREQ(record.securityKey, key);
    }
    EXPECT_EQ(sim::nicEeprom(root), before);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
    // A key field without a terminator in its first 1024 bytes is refused too.
    std::memset(record.securityKey, 'A', sizeof record.securityKey);
    EXPECT_EQ(setEpromAssets(&record), -1);
}

TEST_F(AssetValuesTest, CmosBlockOnRealtekAndVia) {
    useController("realtek");
    unsigned char block[IXO_CMOS_READ_SIZE + 4];
    std::memset(block, 0x5A, sizeof block);
    ASSERT_EQ(returnCMOSValue(block), 0);
    // The Realtek's image is not read from the device: all ones.
    EXPECT_EQ(std::vector<unsigned char>(block, block + IXO_CMOS_READ_SIZE),
              std::vector<unsigned char>(IXO_CMOS_READ_SIZE, 0xFF));
    EXPECT_EQ(block[IXO_CMOS_READ_SIZE], 0x5A);
    std::vector<uint8_t> before = sim::nicEeprom(root);
    unsigned char update[IXO_CMOS_WRITE_SIZE];
    std::memset(update, 0x42, sizeof update);
    EXPECT_EQ(updateCMOSValue(update), 0);
    EXPECT_EQ(sim::nicEeprom(root), before);
    sim::resetPortBus();

    for (const char *family : {"rhine", "jmicron"}) {
        useController(family);
        std::memset(block, 0x5A, sizeof block);
        ASSERT_EQ(returnCMOSValue(block), 0) << family;
        EXPECT_EQ(std::vector<unsigned char>(block, block + IXO_CMOS_READ_SIZE),
                  std::vector<unsigned char>(IXO_CMOS_READ_SIZE, 0x00))
            << family;
        sim::resetPortBus();
    }

    // On a VIA controller the block changes no value, but the EEPROM is
    // written again with its checksums.
    useController("rhine");
    before = sim::nicEeprom(root);
    ASSERT_EQ(updateCMOSValue(update), 0);
    std::vector<uint8_t> after = sim::nicEeprom(root);
    EXPECT_EQ(keyAt(after, 44), keyAt(before, 44));
    EXPECT_EQ(std::string(after.begin() + 52, after.begin() + 64),
              std::string(before.begin() + 52, before.begin() + 64));
    EXPECT_GT(sim::nicStats().eepromWrites, 0u);
}

TEST_F(AssetValuesTest, SmbiosKeyWithoutAnyController) {
    removeController();
    setOemStrings({"tyvo-securitykey=0A1B2C3D", "tpm=01"});
    setSmbiosFlag("1");
    EXPECT_EQ(returnSecurityKey(), 0x0A1B2C3Du);
    EXPECT_EQ(assets_test::logCount("[3] Reading from SMBIOS: Security key 0A1B2C3D"), 1);
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_TRUE(sim::ioplCalls().empty());

    // With a controller the flag still decides.
    useController("rhine");
    uint32_t eepromKey = keyAt(sim::nicEeprom(root), 44);
    EXPECT_EQ(returnSecurityKey(), 0x0A1B2C3Du);
    setSmbiosFlag("0");
    EXPECT_EQ(returnSecurityKey(), eepromKey);

    // A key text that is not 8 digits converts to 0, with the agent's error.
    setSmbiosFlag("true");
    setOemStrings({"tyvo-securitykey=XYZ"});
    support::clearLog();
    EXPECT_EQ(returnSecurityKey(), 0u);
    EXPECT_EQ(assets_test::logCount("is not 8 hexadecimal digits"), 1);
}

TEST_F(AssetValuesTest, FixedKeysOfTheMakersMClassWhenTheEepromCannotBeRead) {
    removeController();
    setMakerAndModel("TYVO", "M CLASS MT410");
    const std::pair<std::vector<sim::PartitionEntry>, uint32_t> layouts[] = {
        {{{0, 0, 0x52, 63, 100}, {1, 0x80, 0x07, 163, 100}}, 0x4E2B7C13u},
        {{{0, 0, 0x52, 63, 100}, {1, 0x80, 0x83, 163, 100}}, 0x71D0A95Eu},
        {{{0, 0x80, 0x0B, 63, 100}}, 0x2C86F3B4u},
        {{{0, 0x80, 0x83, 63, 100}}, 0x93A15D27u},
        {{{0, 0x80, 0x07, 63, 100}}, 0u},
    };
    for (const auto &[layout, key] : layouts) {
        writeDrive("/dev/sda", layout);
        support::clearLog();
        EXPECT_EQ(returnSecurityKey(), key) << std::hex << key;
        EXPECT_EQ(assets_test::logCount("[3] not able to read Eeprom Asset Values"), 1);
    }
    removeDeviceFile("/tmp/FixedDevice");
    EXPECT_EQ(returnSecurityKey(), 0u);

    writeDrive("/dev/sda", {{0, 0x80, 0x83, 63, 100}});
    writeDeviceFile("/tmp/FixedDevice", "sda\n");
    for (const auto &[maker, model] :
         std::vector<std::pair<std::string, std::string>>{{"Norv", "M CLASS MT410"},
                                                          {"TYVO", "H CLASS HT520"},
                                                          {"tyvo", "M CLASS MT410"},
                                                          {"TYVO", "M CLAS"}}) {
        setMakerAndModel(maker, model);
        EXPECT_EQ(returnSecurityKey(), 1u) << maker << " " << model;
    }
    setMakerAndModel("TYVO Corp.", "M CLASSIC");
    EXPECT_EQ(returnSecurityKey(), 0x93A15D27u);
}

TEST_F(AssetValuesTest, FailedTransfersLeaveBuffersAndReportTheirMessages) {
    removeController();
    std::strcpy(record.serialNumber, "KEEP");
    std::strcpy(record.securityKey, "KEEPKEY");
    support::clearLog();
    EXPECT_EQ(getEpromAssets(&record), -1);
    EXPECT_STREQ(record.serialNumber, "KEEP");
    EXPECT_STREQ(record.securityKey, "KEEPKEY");
    EXPECT_EQ(assets_test::logCount("[3] not able to read Eeprom Asset Values"), 1);

    char serial[12];
    std::memset(serial, '#', sizeof serial);
    EXPECT_EQ(returnSerialNumber(serial), -1);
    EXPECT_EQ(std::string(serial, 12), std::string(12, '#'));
    unsigned char block[IXO_CMOS_READ_SIZE] = {7};
    EXPECT_EQ(returnCMOSValue(block), -1);
    EXPECT_EQ(block[0], 7);

    support::clearLog();
    EXPECT_EQ(updateCMOSValue(block), -1);
    EXPECT_EQ(assets_test::logCount("[3]  writeEepromAssetValues KORVEL falied"), 1);
    EXPECT_EQ(updateSecurityKey(1), -1);

    std::strcpy(record.serialNumber, "SN123456789");
    std::strcpy(record.securityKey, "12345678");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(setEpromAssets(&record), -1);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("not able to read Eeprom Asset Values:\n"));
    EXPECT_STREQ(record.securityKey, "12345678");

    EXPECT_EQ(getEpromAssets(nullptr), -1);
    EXPECT_EQ(setEpromAssets(nullptr), -1);
    EXPECT_EQ(returnSerialNumber(nullptr), -1);
    EXPECT_EQ(returnCMOSValue(nullptr), -1);
    EXPECT_EQ(updateCMOSValue(nullptr), -1);
}

TEST_F(AssetValuesTest, NoIoPrivilegeIsAFailedTransfer) {
    useController("rhine");
    sim::failIopl(true);
    EXPECT_EQ(getEpromAssets(&record), -1);
    EXPECT_EQ(updateSecurityKey(5), -1);
    sim::failIopl(false);
    EXPECT_EQ(getEpromAssets(&record), 0);
}

}  // namespace
