// The identification that reads the device: maker and model, the TPM flag,
// the OEM strings through dmidecode, the fixed drive and the platform type
// its partition table gives.
// The platform-code predicates: which field each reads, exactly which values
// it accepts, and the 64-bit test built on them.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ixo/assets.h"
#include "tests/support/assetsTestSupport.h"

using ::testing::ElementsAre;

namespace {

class IdentificationTest : public assets_test::AssetDeviceTest {
protected:
    std::set<std::string> tmpEntries() {
        std::set<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(hostPath("/tmp"))) {
            names.insert(entry.path().filename());
        }
        return names;
    }
};

TEST_F(IdentificationTest, NorvBrandNeedsTheMakerAndOneOfTwoModels) {
    const std::tuple<const char *, const char *, int> cases[] = {
        {"Norv", "Lumora KT-4120", 1},        {"Norv", "Lumora KT-4080", 1},
        {"Norvelle Systems", "Lumora KT-4120 rev B", 1},
        {"norv", "Lumora KT-4120", 0},        {"Norv", "Lumora KT-4100", 0},
        {"Norv", "lumora KT-4120", 0},        {"Nor", "Lumora KT-4120", 0},
        {"TYVO", "Lumora KT-4080", 0},
    };
    for (const auto &[maker, model, expected] : cases) {
        setMakerAndModel(maker, model);
        EXPECT_EQ(isThisNorvPlatform(), expected) << maker << " / " << model;
    }
    removeDeviceFile("/sys/class/dmi/id/sys_vendor");
    removeDeviceFile("/sys/class/dmi/id/product_name");
    EXPECT_EQ(isThisNorvPlatform(), 0);
}

TEST_F(IdentificationTest, TpmFlagIsTheSecondCharacter) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"tpm=01"}, 1}, {{"tpm=11"}, 1}, {{"tpm=X1"}, 1}, {{"tpm=10"}, 0}, {{"tpm=1"}, 0},
        {{"tpm=21 and more text"}, 1}, {{}, 0},
        // A longer string is cut to its buffer.
        {{"tpm=01234567890123456789"}, 1},
    };
    for (const auto &[oem, expected] : cases) {
        setOemStrings(oem);
        EXPECT_EQ(isTPMPresent(), expected) << (oem.empty() ? "" : oem.back());
    }
}

TEST_F(IdentificationTest, CiscoIsFoundInTheOemStringsThroughAPrivateCapture) {
    std::set<std::string> before = tmpEntries();
    setOemStrings({"Cisco Systems, Inc.", "tpm=01"});
    EXPECT_EQ(is_Cisco_device(), 1);
    EXPECT_THAT(sim::programLog(root), ElementsAre("dmidecode -t 11"));
    // The capture is gone again, and nothing went to the write-filtered root.
    EXPECT_EQ(tmpEntries(), before);
    EXPECT_FALSE(support::exists(hostPath("/bin/device_details")));

    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"cisco systems", "tpm=01"}, 0}, {{"Built for NetCiscoWorks"}, 1}, {{}, 0}};
    for (const auto &[oem, expected] : cases) {
        setOemStrings(oem);
        EXPECT_EQ(is_Cisco_device(), expected) << (oem.empty() ? "" : oem[0]);
    }
    EXPECT_EQ(tmpEntries(), before);

    // No when dmidecode fails or no capture can be made (no /tmp).
    setOemStrings({"Cisco Systems, Inc."});
    sim::clearRecordedLines();
    sim::setKnob(root, "dmidecode.exit", "1");
    EXPECT_EQ(is_Cisco_device(), 0);
    sim::removeKnob(root, "dmidecode.exit");
    support::removeTree(hostPath("/tmp"));
    EXPECT_EQ(is_Cisco_device(), 0);
    EXPECT_EQ(sim::recordedLines().size(), 1u);
}

// The drive is the first word of /tmp/FixedDevice. Type 0 also when no drive
// is named, the named one is missing, or its first sector is cut short; an
// empty name must not open /dev itself.
TEST_F(IdentificationTest, PlatformTypeFromTheFixedDrivesPartitionTable) {
    const std::tuple<uint8_t, uint8_t, int> cases[] = {
        {0x52, 0x07, 1}, {0x52, 0x0B, 2}, {0x52, 0x83, 2}, {0x52, 0x0C, 0},
        {0x52, 0x00, 0}, {0x0B, 0x07, 3}, {0x0B, 0x00, 3}, {0x83, 0x52, 4},
        {0x83, 0x00, 4}, {0x07, 0x52, 0}, {0x00, 0x83, 0}, {0x0C, 0x83, 0},
    };
    writeDeviceFile("/tmp/FixedDevice", "  \n\thdb  sda\n");
    for (const auto &[first, second, expected] : cases) {
        std::vector<sim::PartitionEntry> entries = {{0, 0x80, first, 63, 1000}};
        if (second != 0) {
            entries.push_back({1, 0x00, second, 1063, 1000});
        }
        writeDrive("/dev/hdb", entries);
        EXPECT_EQ(getPlatformType(), expected) << std::hex << int(first) << " " << int(second);
    }
    EXPECT_STREQ(fixedDriveName, "hdb");
    const std::pair<std::string, std::string> names[] = {
        {std::string(300, 'x'), std::string(127, 'x')}, {"", ""}, {"sdq\n", "sdq"}};
    for (const auto &[content, name] : names) {
        writeDeviceFile("/tmp/FixedDevice", content);
        EXPECT_EQ(getPlatformType(), 0) << name;
        EXPECT_EQ(std::string(fixedDriveName), name);
    }
    writeDeviceFile("/dev/sdq", std::string(300, '\0'));
    EXPECT_EQ(getPlatformType(), 0);
    removeDeviceFile("/tmp/FixedDevice");
    EXPECT_EQ(getPlatformType(), 0);
    EXPECT_STREQ(fixedDriveName, "");
}

// Without the power to override file permissions, a drive only the owner
// may write can still be classified: it is opened read-only.
TEST_F(IdentificationTest, PlatformTypeOpensTheDriveReadOnly) {
    writeDeviceFile("/tmp/FixedDevice", "sda\n");
    writeDrive("/dev/sda", {{0, 0x80, 0x83, 2048, 4096}});
    ASSERT_EQ(chmod(hostPath("/dev/sda").c_str(), 0444), 0);
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    EXPECT_EXIT(_exit(syscall(SYS_capset, &header, none) == 0 ? getPlatformType() : 100),
                ::testing::ExitedWithCode(4), "");
}

enum class Field { Image, Hardware, Model };

const struct Predicate {
    int (*function)(int);
    Field field;
    std::set<uint32_t> accepted;
} kPredicates[] = {
    {isThisWESPlatform, Field::Image, {0x0A}},
    {isThisXPEPlatform, Field::Image, {0x05}},
    {isThisWESSevenPlatform, Field::Image, {0x0B}},
    {isThisWESSevenPPlatform, Field::Image, {0x0E}},
    {isThisOLPVOSPlatform, Field::Image, {0x08, 0x0C, 0x07, 0x12}},
    {isThisOLPlatform, Field::Image, {0x08}},
    {isThisWESEightPlatform, Field::Image, {0x0F}},
    {isThisWESEight64BitPlatform, Field::Image, {0x11}},
    {isThisWindowsTen64BitPlatform, Field::Image, {0x15}},
    {isThisTamskoPlatform, Field::Hardware, {0x35}},
    {isThisBrivonPlatform, Field::Hardware, {0x36}},
    {isThisKeldarePlatform, Field::Hardware, {0x33}},
    {isThisOstaveroPlatform, Field::Hardware, {0x37}},
    {isThisMirKaldovestaPlatform, Field::Hardware, {0x39}},
    {isThisGorskalPlatform, Field::Hardware, {0x3B}},
    {isThisJanteloPlatform, Field::Hardware, {0x3C}},
    {isThisK62Platform, Field::Model, {0x0720, 0x0726}},
    {isThisK84Platform, Field::Model, {0x0D20}},
    {isThisK84DPlatform, Field::Model, {0x102D}},
    {isThisK62DPlatform, Field::Model, {0x072D}},
    {isThisK40DPlatform, Field::Model, {0x0C2D}},
};

// Bits 16-31 belong to the agent and never change an answer.
const uint32_t kUppers[] = {0, 0x00010000u, 0x0A0A0000u, 0x7FFF0000u, 0x80000000u, 0xFFFF0000u};

// A code whose field holds value; the other bits of the low 16 vary with it
// so that a predicate reading the wrong field shows.
int codeWith(Field field, uint32_t value, uint32_t upper) {
    uint32_t low = field == Field::Image      ? value << 8 | ((value * 37 + 11) & 0xFF)
                   : field == Field::Hardware ? ((value * 53 + 7) & 0xFF) << 8 | value
                                              : value;
    return static_cast<int>(low | upper);
}

TEST(PlatformPredicateTest, EachAcceptsExactlyItsValues) {
    for (const Predicate &predicate : kPredicates) {
        uint32_t last = predicate.field == Field::Model ? 0xFFFF : 0xFF;
        for (uint32_t value = 0; value <= last; ++value) {
            bool expected = predicate.accepted.count(value) == 1;
            // Every upper half for the values accepted, one of them for the rest.
            for (size_t index = 0; index < std::size(kUppers); ++index) {
                if (expected || index == value % std::size(kUppers)) {
                    ASSERT_EQ(predicate.function(codeWith(predicate.field, value, kUppers[index])),
                              expected ? 1 : 0)
                        << (&predicate - kPredicates) << " value " << std::hex << value
                        << " upper " << kUppers[index];
                }
            }
        }
    }
}

// Image in bits 8-15, hardware in bits 0-7: the 64-bit images, the WES 7 P
// image on two designs only, and four designs whatever their image.
TEST(PlatformPredicateTest, SixtyFourBitDesigns) {
    const std::pair<uint32_t, int> cases[] = {
        {0x1500, 1}, {0x1100, 1}, {0x0E36, 1}, {0x0E33, 1}, {0x0E35, 0}, {0x0A36, 0},
        {0x0F33, 0}, {0x0037, 1}, {0x0B39, 1}, {0x0E3B, 1}, {0x113C, 1}, {0x1038, 0},
        {0x1600, 0}, {0x360E, 0}, {0x0000, 0}, {0x0D0E, 0}};
    for (const auto &[code, expected] : cases) {
        for (uint32_t upper : kUppers) {
            EXPECT_EQ(isThis64BitArch(static_cast<int>(code | upper)), expected)
                << std::hex << code << " upper " << upper;
        }
    }
}

}  // namespace
