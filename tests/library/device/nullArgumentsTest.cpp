// Every exported function handed a null pointer: the refusal it answers, and
// nothing changed on the device (no line run, EEPROM, registries and mounts
// as they were, nothing printed).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ixo/assets.h"
#include "ixo/commands.h"
#include "ixo/eeprom.h"
#include "ixo/guards.h"
#include "ixo/platform.h"
#include "ixo/registry.h"
#include "ixo/serversearch.h"
#include "tests/support/assetsTestSupport.h"
#include "tests/support/commandTestSupport.h"

using ::testing::IsEmpty;

namespace {

std::string text(int value) { return std::to_string(value); }

class NullArgumentsTest : public assets_test::AssetDeviceTest {
protected:
    void SetUp() override {
        AssetDeviceTest::SetUp();
        useController("rhine");
    }
    std::string state() {
        return support::readFile(hostPath("/tmp/system.conf")) +
               support::readFile(hostPath("/home/root/system.conf")) +
               sim::mountOptions(root, "/") + record.securityKey;
    }
};

TEST_F(NullArgumentsTest, EveryExportedFunctionRefusesANullPointerAndChangesNothing) {
    unsigned char image[EEPROM_IMAGE_SIZE] = {};
    unsigned char assets[sizeof(EepromAssetRecord)] = {};
    const unsigned short io = 0xE000;
    int cylinders = -5, heads = -5, sectors = -5;
    uint32_t total = 9;
    int registry = p_openReg("/tmp/system.conf");
    ASSERT_NE(registry, 0);
    std::strcpy(record.securityKey, "unchanged");
    const struct {
        const char *call;
        std::function<std::string()> run;
        std::string refusal;
    } rows[] = {
        // Assets and inventory.
        {"getEpromAssets", [] { return text(getEpromAssets(nullptr)); }, "-1"},
        {"setEpromAssets", [] { return text(setEpromAssets(nullptr)); }, "-1"},
        {"returnSerialNumber", [] { return text(returnSerialNumber(nullptr)); }, "-1"},
        {"returnCMOSValue", [] { return text(returnCMOSValue(nullptr)); }, "-1"},
        {"updateCMOSValue", [] { return text(updateCMOSValue(nullptr)); }, "-1"},
        {"getdeviceAsset", [] { return text(getdeviceAsset(nullptr)); }, "-1"},
        {"getNetworkAsset", [] { return getNetworkAsset(nullptr), std::string("void"); }, "void"},
        {"getSDFlashAsset", [] { return text(getSDFlashAsset(nullptr)); }, "-1"},
        {"getIdeAsset", [] { return text(getIdeAsset(nullptr)); }, "-1"},
        {"getBiosAsset", [] { return text(getBiosAsset(nullptr)); }, "-1"},
        {"getBiosName", [] { return getBiosName(nullptr, "korvel"), std::string("void"); }, "void"},
        {"getDiskGeometry path",
         [&] { return text(getDiskGeometry(nullptr, &cylinders, &heads, &sectors)); }, "-1"},
        {"getDiskGeometry cylinders",
         [&] { return text(getDiskGeometry("/dev/sda", nullptr, &heads, &sectors)); }, "-1"},
        {"getTotalSectorsInDrive", [] { return text(getTotalSectorsInDrive("/dev/sda", nullptr)); },
         "-1"},
        {"getPlatformData", [] { return text(getPlatformData(nullptr)); }, "-1"},
        {"getBiosEepromCmosAsset", [] { return text(getBiosEepromCmosAsset(nullptr)); }, "-1"},
        {"setPlatformData", [] { return text(setPlatformData(nullptr)); }, "-1"},
        // No record to add to is no error; no section is.
        {"getNetworkInterfaceData record",
         [&] { return text(getNetworkInterfaceData(registry, nullptr, "Network-eth0")); }, "0"},
        {"getNetworkInterfaceData section",
         [&] {
             int result = getNetworkInterfaceData(registry, &record, nullptr);
             return text(result) + (record.networkList == nullptr ? " none added" : " added");
         },
         "-1 none added"},
        // Guards: no path is not writable and has no filter.
        {"ixoIsWritable", [] { return text(ixoIsWritable(nullptr)); }, "0"},
        {"hasWriteFilter", [] { return text(hasWriteFilter(nullptr)); }, "-1"},
        {"makeWritable", [] { return text(makeWritable(nullptr)); }, "-1"},
        {"makeWriteProtected", [] { return text(makeWriteProtected(nullptr)); }, "-1"},
        {"ixoMakeWritable",
         [] {
             char *message = reinterpret_cast<char *>(&message);
             int result = ixoMakeWritable(nullptr, &message);
             return text(result) + (message == nullptr ? " no message" : " message");
         },
         "-1 no message"},
        {"ixoMakeReadOnly", [] { return text(ixoMakeReadOnly(nullptr, nullptr)); }, "-1"},
        {"ixoGetWriteFilterStatus path",
         [] {
             int filter = 7, readOnly = 7;
             int result = ixoGetWriteFilterStatus(nullptr, &filter, &readOnly, nullptr);
             return text(result) + " " + text(filter) + " " + text(readOnly);
         },
         "0 -1 1"},
        {"ixoGetWriteFilterStatus outputs",
         [] { return text(ixoGetWriteFilterStatus("/", nullptr, nullptr, nullptr)); }, "0"},
        // Registry and settings.
        {"p_openReg", [] { return text(p_openReg(nullptr)); }, "0"},
        {"p_regGet value",
         [&] { return text(p_regGet(registry, nullptr, "Terminal", "name", "", 1024)); }, "-1"},
        {"p_regSet section", [&] { return text(p_regSet(registry, nullptr, "k", "v") != 0); }, "1"},
        {"p_regSet key", [&] { return text(p_regSet(registry, "System", nullptr, "v") != 0); }, "1"},
        {"ixoGetSavedCommand", [] { return text(ixoGetSavedCommand(nullptr)); }, "-1"},
        {"ixoGetSavedResponse", [] { return text(ixoGetSavedResponse(nullptr)); }, "-1"},
        {"getLogSettings", [] { return text(getLogSettings(nullptr, nullptr)); }, "0"},
        {"getDomainName", [] { return text(getDomainName(nullptr)); }, "-1"},
        {"findDotsInDomainString", [] { return text(findDotsInDomainString(nullptr)); }, "0"},
        // EEPROM transfers and their parts.
        {"ixoEepromController", [] { return text(ixoEepromController(nullptr)); }, "-1"},
        {"readEepromAssetValues", [] { return text(readEepromAssetValues(nullptr)); }, "-1"},
        {"writeEepromAssetValues", [] { return text(writeEepromAssetValues(nullptr)); }, "-1"},
        {"ixoReadEepromImage",
         [] { return text(ixoReadEepromImage(nullptr, EEPROM_IMAGE_SIZE)); }, "-1"},
        {"ixoWriteEepromImage",
         [] { return text(ixoWriteEepromImage(nullptr, EEPROM_IMAGE_SIZE)); }, "-1"},
        {"calculateByteCheckSum", [] { return text(calculateByteCheckSum(nullptr, 8)); }, "0"},
        {"calculateWordCheckSum", [] { return text(calculateWordCheckSum(nullptr, 8)); }, "0"},
        {"dumpEEPROM", [] { return dumpEEPROM(nullptr), std::string("void"); }, "void"},
        {"VNSvInPortB", [&] { return VNSvInPortB(io, nullptr), std::string("void"); }, "void"},
        {"VNSvInPortW", [&] { return VNSvInPortW(io, nullptr), std::string("void"); }, "void"},
        {"VNSvInPortD", [&] { return VNSvInPortD(io, nullptr), std::string("void"); }, "void"},
        {"SROMvReadAllContents",
         [&] { return SROMvReadAllContents(io, nullptr), std::string("void"); }, "void"},
        {"SROMvWriteAllContents",
         [&] { return SROMvWriteAllContents(io, nullptr), std::string("void"); }, "void"},
        {"readViaEeprom", [&] { return text(readViaEeprom(io, nullptr)); }, "0"},
        {"writeViaEeprom image", [&] { return text(writeViaEeprom(io, nullptr, assets)); }, "0"},
        {"writeViaEeprom record", [&] { return text(writeViaEeprom(io, image, nullptr)); }, "0"},
        {"readViaEepromVelocity", [&] { return text(readViaEepromVelocity(io, nullptr)); }, "0"},
        {"writeViaEepromVelocity image",
         [&] { return text(writeViaEepromVelocity(io, nullptr, assets)); }, "0"},
        {"writeViaEepromVelocity record",
         [&] { return text(writeViaEepromVelocity(io, image, nullptr)); }, "0"},
        {"writeRtlEeprom image", [&] { return text(writeRtlEeprom(io, nullptr, assets)); }, "0"},
        {"writeRtlEeprom record", [&] { return text(writeRtlEeprom(io, image, nullptr)); }, "0"},
        {"write_eeprom_jmicron", [] { return text(write_eeprom_jmicron(0x2040, nullptr)); }, "0"},
        {"readJmicronEeprom", [] { return text(readJmicronEeprom(0x2040, nullptr)); }, "0"},
        {"writeJmicronEeprom image",
         [&] { return text(writeJmicronEeprom(0x2040, nullptr, assets)); }, "0"},
        {"writeJmicronEeprom record",
         [&] { return text(writeJmicronEeprom(0x2040, image, nullptr)); }, "0"},
        {"fill*EepromAsset",
         [&] {
             for (auto fill : {fillViaEepromAsset, fillRtlEepromAsset, fillJmicronEepromAsset}) {
                 fill(nullptr, assets);
                 fill(image, nullptr);
             }
             return std::string(assets, assets + sizeof assets) ==
                            std::string(sizeof assets, '\0')
                        ? "record untouched"
                        : "record filled";
         },
         "record untouched"},
    };
    const std::vector<uint8_t> eeprom = sim::nicEeprom(root);
    const std::string before = state();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.call);
        ::testing::internal::CaptureStdout();
        std::string answer = row.run();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(answer, row.refusal);
        EXPECT_THAT(sim::recordedLines(), IsEmpty());
        EXPECT_EQ(state(), before);
        EXPECT_EQ(sim::nicEeprom(root), eeprom);
    }
    EXPECT_EQ(cylinders, -5);
    EXPECT_EQ(total, 9u);
    EXPECT_EQ(sim::nicStats().eepromWrites, 0u);
    EXPECT_THAT(sim::ioplCalls(), IsEmpty());
    p_CloseNoAction(registry);

    // Each command handler without a command: a missing parameter, nothing run.
    for (PlatformCommandHandler *entry = getPlatformCommandHandlers(); entry->handler != nullptr;
         ++entry) {
        SCOPED_TRACE(entry->name);
        EXPECT_EQ(commandtest::runHandler(entry->handler, nullptr).result, -1);
        EXPECT_THAT(sim::recordedLines(), IsEmpty());
        EXPECT_EQ(state(), before);
        EXPECT_EQ(userLockedOut(), 0);
    }
}

}  // namespace
