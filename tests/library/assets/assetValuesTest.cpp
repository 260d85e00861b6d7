// The asset services on the simulated controllers: serial number, security
// key and CMOS block per family, the SMBIOS key, the fixed keys of the M
// CLASS devices, and the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ixo/assets.h"
#include "tests/support/assetsTestSupport.h"

namespace {

uint32_t keyAt(const std::vector<uint8_t> &eeprom, int offset) {
    uint32_t key = 0;
    for (int at = 3; at >= 0; --at) {
        key = key << 8 | eeprom[offset + at];
    }
    return key;
}

std::string eepromText(const std::vector<uint8_t> &eeprom, int offset, int length) {
    return std::string(eeprom.begin() + offset, eeprom.begin() + offset + length);
}

// Where each family keeps the values is the EEPROM suite's; here one VIA
// controller (key at 44, serial at 52) shows what the asset calls make of them.
class AssetValuesTest : public assets_test::AssetDeviceTest {
protected:
    void SetUp() override {
        AssetDeviceTest::SetUp();
        useController("rhine");
        eeprom = sim::nicEeprom(root);
    }
    std::vector<uint8_t> eeprom;
};

TEST_F(AssetValuesTest, SerialAndKeyReadAsTextAndTheKeyUpdated) {
    std::memset(record.serialNumber, 'x', 40);
    ASSERT_EQ(getEpromAssets(&record), 0);
    char expectedKey[16];
    std::snprintf(expectedKey, sizeof expectedKey, "%08X", keyAt(eeprom, 44));
    EXPECT_STREQ(record.securityKey, expectedKey);
    EXPECT_EQ(std::string(record.serialNumber, 13), eepromText(eeprom, 52, 12) + '\0');
    // The serial number's buffer takes exactly twelve bytes.
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(returnSerialNumber(buffer), 0);
    EXPECT_EQ(std::string(buffer, 16), eepromText(eeprom, 52, 12) + "####");

    ASSERT_EQ(updateSecurityKey(0x0000BEEFu), 0);
    ASSERT_EQ(getEpromAssets(&record), 0);
    EXPECT_STREQ(record.securityKey, "0000BEEF");
    EXPECT_EQ(keyAt(sim::nicEeprom(root), 44), 0x0000BEEFu);
}

TEST_F(AssetValuesTest, SetStoresTheRecordsSerialAndKeyText) {
    std::strcpy(record.serialNumber, "SN123456789XYZ");
    std::strcpy(record.securityKey, "00c0ffee");
    ASSERT_EQ(setEpromAssets(&record), 0);
    eeprom = sim::nicEeprom(root);
    EXPECT_EQ(keyAt(eeprom, 44), 0x00C0FFEEu);
    EXPECT_EQ(eepromText(eeprom, 52, 11), "SN123456789");
    // The record holds the values written, as text.
    EXPECT_STREQ(record.securityKey, "00C0FFEE");
    EXPECT_STREQ(record.serialNumber, "SN123456789");

    // A shorter serial number is stored with zeros after it.
    std::strcpy(record.serialNumber, "AB12");
    std::strcpy(record.securityKey, "DEADBEEF");
    ASSERT_EQ(setEpromAssets(&record), 0);
    EXPECT_EQ(eepromText(sim::nicEeprom(root), 52, 11), std::string("AB12\0\0\0\0\0\0\0", 11));
    EXPECT_STREQ(record.serialNumber, "AB12");
    EXPECT_EQ(returnSecurityKey(), 0xDEADBEEFu);

    // A key text that is not eight hex digits, or has no terminator in its
    // field, is refused before any write.
    eeprom = sim::nicEeprom(root);
    unsigned long writes = sim::nicStats().eepromWrites;
    for (const char *key : {"", "1234567", "123456789", "12345G78", "0x123456", " 1234567",
                            "1234567\n", "-1234567", "unterminated"}) {
        SCOPED_TRACE(key);
        std::strcpy(record.securityKey, key);
        if (key == std::string("unterminated")) {
            std::memset(record.securityKey, 'A', sizeof record.securityKey);
        }
        EXPECT_EQ(setEpromAssets(&record), -1);
    }
    EXPECT_EQ(sim::nicEeprom(root), eeprom);
    EXPECT_EQ(sim::nicStats().eepromWrites, writes);
}

// The block changes no value, but the EEPROM is written again.
TEST_F(AssetValuesTest, CmosBlockReadWithinItsSizeAndUpdated) {
    unsigned char block[IXO_CMOS_READ_SIZE + 4];
    std::memset(block, 0x5A, sizeof block);
    ASSERT_EQ(returnCMOSValue(block), 0);
    EXPECT_EQ(std::vector<unsigned char>(block, block + IXO_CMOS_READ_SIZE),
              std::vector<unsigned char>(IXO_CMOS_READ_SIZE, 0));
    EXPECT_EQ(block[IXO_CMOS_READ_SIZE], 0x5A);
    std::memset(block, 0x42, sizeof block);
    ASSERT_EQ(updateCMOSValue(block), 0);
    std::vector<uint8_t> after = sim::nicEeprom(root);
    EXPECT_EQ(keyAt(after, 44), keyAt(eeprom, 44));
    EXPECT_EQ(eepromText(after, 52, 12), eepromText(eeprom, 52, 12));
    EXPECT_GT(sim::nicStats().eepromWrites, 0u);
}

TEST_F(AssetValuesTest, SmbiosKeyWhenTheSettingSaysSo) {
    removeController();
    setOemStrings({"tyvo-securitykey=0A1B2C3D", "tpm=01"});
    setSmbiosFlag("1");
    EXPECT_EQ(returnSecurityKey(), 0x0A1B2C3Du);
    EXPECT_EQ(sim::portAccesses(), 0u);
    EXPECT_TRUE(sim::ioplCalls().empty());

    // With a controller the setting still decides: 1, true or yes in any case.
    useController("rhine");
    uint32_t eepromKey = keyAt(sim::nicEeprom(root), 44);
    const std::pair<const char *, uint32_t> settings[] = {
        {"1", 0x0A1B2C3Du}, {"true", 0x0A1B2C3Du}, {"YES", 0x0A1B2C3Du}, {"0", eepromKey},
        {"no", eepromKey},  {"", eepromKey},       {"2", eepromKey}};
    for (const auto &[value, key] : settings) {
        setSmbiosFlag(value);
        EXPECT_EQ(returnSecurityKey(), key) << value;
    }
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
        EXPECT_EQ(returnSecurityKey(), key) << std::hex << key;
    }
    removeDeviceFile("/tmp/FixedDevice");
    EXPECT_EQ(returnSecurityKey(), 0u);

    // Maker and model are compared by their first 4 and 7 characters.
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 63, 100}});
    writeDeviceFile("/tmp/FixedDevice", "sda\n");
    const std::tuple<const char *, const char *, uint32_t> devices[] = {
        {"Norv", "M CLASS MT410", 1u}, {"TYVO", "H CLASS HT520", 1u},
        {"tyvo", "M CLASS MT410", 1u}, {"TYVO", "M CLAS", 1u},
        {"TYVO Corp.", "M CLASSIC", 0x93A15D27u}};
    for (const auto &[maker, model, key] : devices) {
        setMakerAndModel(maker, model);
        EXPECT_EQ(returnSecurityKey(), key) << maker << " " << model;
    }
}

// No controller, or no I/O privilege to reach it: every transfer fails and
// leaves the caller's buffers.
TEST_F(AssetValuesTest, FailedTransfersLeaveTheBuffers) {
    for (bool privilege : {true, false}) {
        SCOPED_TRACE(privilege ? "no controller" : "no I/O privilege");
        if (privilege) {
            removeController();
        } else {
            useController("rhine");
        }
        sim::failIopl(!privilege);
        std::strcpy(record.serialNumber, "SN123456789");
        std::strcpy(record.securityKey, "12345678");
        EXPECT_EQ(getEpromAssets(&record), -1);
        EXPECT_EQ(setEpromAssets(&record), -1);
        EXPECT_STREQ(record.serialNumber, "SN123456789");
        EXPECT_STREQ(record.securityKey, "12345678");
        char serial[12];
        std::memset(serial, '#', sizeof serial);
        EXPECT_EQ(returnSerialNumber(serial), -1);
        EXPECT_EQ(std::string(serial, 12), std::string(12, '#'));
        unsigned char block[IXO_CMOS_READ_SIZE] = {7};
        EXPECT_EQ(returnCMOSValue(block), -1);
        EXPECT_EQ(block[0], 7);
        EXPECT_EQ(updateCMOSValue(block), -1);
        EXPECT_EQ(updateSecurityKey(1), -1);
    }
    EXPECT_EQ(sim::portAccesses(), 0u);
    sim::failIopl(false);
    EXPECT_EQ(getEpromAssets(&record), 0);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
}

}  // namespace
