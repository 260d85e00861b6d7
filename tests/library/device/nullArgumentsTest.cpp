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

struct Call {
    const char *text;
    std::function<long()> run;
};
#define CALL(expression) Call{#expression, [&]() -> long { return (expression); }}
#define VOID(expression) Call{#expression, [&]() -> long { expression; return 0; }}

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
    int cylinders = -5, heads = -5, sectors = -5, filter = 7, readOnly = 7;
    uint32_t total = 9;
    char *message = reinterpret_cast<char *>(&message);
    int registry = p_openReg("/tmp/system.conf");
    ASSERT_NE(registry, 0);
    std::strcpy(record.securityKey, "unchanged");
    // Voids and the transfers' parts answer 0; no record to add to is no error,
    // and no path is neither writable nor filtered.
    const std::vector<std::pair<long, std::vector<Call>>> groups = {
        {0,
         {VOID(getNetworkAsset(nullptr)), VOID(getBiosName(nullptr, "korvel")),
          CALL(getNetworkInterfaceData(registry, nullptr, "Network-eth0")),
          CALL(ixoIsWritable(nullptr)),
          CALL(ixoGetWriteFilterStatus(nullptr, &filter, &readOnly, nullptr)),
          CALL(ixoGetWriteFilterStatus("/", nullptr, nullptr, nullptr)), CALL(p_openReg(nullptr)),
          CALL(getLogSettings(nullptr, nullptr)), CALL(findDotsInDomainString(nullptr)),
          CALL(calculateByteCheckSum(nullptr, 8)), CALL(calculateWordCheckSum(nullptr, 8)),
          VOID(dumpEEPROM(nullptr)), VOID(VNSvInPortB(io, nullptr)), VOID(VNSvInPortW(io, nullptr)),
          VOID(VNSvInPortD(io, nullptr)), VOID(SROMvReadAllContents(io, nullptr)),
          VOID(SROMvWriteAllContents(io, nullptr)), CALL(readViaEeprom(io, nullptr)),
          CALL(writeViaEeprom(io, nullptr, assets)), CALL(writeViaEeprom(io, image, nullptr)),
          CALL(readViaEepromVelocity(io, nullptr)),
          CALL(writeViaEepromVelocity(io, nullptr, assets)),
          CALL(writeViaEepromVelocity(io, image, nullptr)),
          CALL(writeRtlEeprom(io, nullptr, assets)), CALL(writeRtlEeprom(io, image, nullptr)),
          CALL(write_eeprom_jmicron(0x2040, nullptr)), CALL(readJmicronEeprom(0x2040, nullptr)),
          CALL(writeJmicronEeprom(0x2040, nullptr, assets)),
          CALL(writeJmicronEeprom(0x2040, image, nullptr))}},
        {-1,
         {CALL(getEpromAssets(nullptr)), CALL(setEpromAssets(nullptr)),
          CALL(returnSerialNumber(nullptr)), CALL(returnCMOSValue(nullptr)),
          CALL(updateCMOSValue(nullptr)), CALL(getdeviceAsset(nullptr)),
          CALL(getSDFlashAsset(nullptr)), CALL(getIdeAsset(nullptr)), CALL(getBiosAsset(nullptr)),
          CALL(getDiskGeometry(nullptr, &cylinders, &heads, &sectors)),
          CALL(getDiskGeometry("/dev/sda", nullptr, &heads, &sectors)),
          CALL(getTotalSectorsInDrive("/dev/sda", nullptr)), CALL(getPlatformData(nullptr)),
          CALL(getBiosEepromCmosAsset(nullptr)), CALL(setPlatformData(nullptr)),
          CALL(getNetworkInterfaceData(registry, &record, nullptr)),
          CALL(hasWriteFilter(nullptr)), CALL(makeWritable(nullptr)),
          CALL(makeWriteProtected(nullptr)), CALL(ixoMakeWritable(nullptr, &message)),
          CALL(ixoMakeReadOnly(nullptr, nullptr)),
          CALL(p_regGet(registry, nullptr, "Terminal", "name", "", 1024)),
          CALL(ixoGetSavedCommand(nullptr)), CALL(ixoGetSavedResponse(nullptr)),
          CALL(getDomainName(nullptr)), CALL(ixoEepromController(nullptr)),
          CALL(readEepromAssetValues(nullptr)), CALL(writeEepromAssetValues(nullptr)),
          CALL(ixoReadEepromImage(nullptr, EEPROM_IMAGE_SIZE)),
          CALL(ixoWriteEepromImage(nullptr, EEPROM_IMAGE_SIZE))}},
        {1,
         {CALL(p_regSet(registry, nullptr, "k", "v") != 0),
          CALL(p_regSet(registry, "System", nullptr, "v") != 0)}},
    };
    const std::vector<uint8_t> eeprom = sim::nicEeprom(root);
    const std::string before = state();
    for (const auto &[refusal, calls] : groups) {
        for (const Call &call : calls) {
            SCOPED_TRACE(call.text);
            ::testing::internal::CaptureStdout();
            EXPECT_EQ(call.run(), refusal);
            EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
            EXPECT_THAT(sim::recordedLines(), IsEmpty());
            EXPECT_EQ(state(), before);
            EXPECT_EQ(sim::nicEeprom(root), eeprom);
        }
    }
    for (auto fill : {fillViaEepromAsset, fillRtlEepromAsset, fillJmicronEepromAsset}) {
        fill(nullptr, assets);
        fill(image, nullptr);
    }
    EXPECT_EQ(std::string(assets, assets + sizeof assets), std::string(sizeof assets, '\0'));
    EXPECT_EQ(record.networkList, nullptr);
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(filter, -1);
    EXPECT_EQ(readOnly, 1);
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
