// The exported tables, byte for byte: an agent built against another copy of
// the library reads them by offset.
#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ixo/platform_data.h"

namespace {

// The size of the exported object as the library's symbol table records it.
size_t exportedSize(const void *object) {
    Dl_info info;
    void *entry = nullptr;
    if (dladdr1(object, &info, &entry, RTLD_DL_SYMENT) == 0 || entry == nullptr) {
        return 0;
    }
    return static_cast<const ElfW(Sym) *>(entry)->st_size;
}

// A text field as it sits in the row: the text, then zeros to the end.
template <size_t N>
void expectField(const char (&field)[N], const std::string &text, const std::string &where) {
    ASSERT_LT(text.size(), N) << where;
    std::vector<char> expected(N, '\0');
    std::memcpy(expected.data(), text.data(), text.size());
    EXPECT_EQ(std::memcmp(field, expected.data(), N), 0) << where << ": '" << field << "'";
}

bool allZero(const void *bytes, size_t size) {
    const unsigned char *byte = static_cast<const unsigned char *>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (byte[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(PlatformTables, RowSizesAndExportedSizes) {
    EXPECT_EQ(sizeof(PlatformTranslationRow), 72u);
    EXPECT_EQ(sizeof(CpuTranslationRow), 128u);
    EXPECT_EQ(sizeof(NetworkInterfaceSection), 800u);
    EXPECT_EQ(offsetof(CpuTranslationRow, processorSpeed), 124u);
    EXPECT_EQ(exportedSize(platformTranslation), 14u * 72u);
    EXPECT_EQ(exportedSize(cpuTranslation), 5u * 128u);
    EXPECT_EQ(exportedSize(networkInterfaces), 4000u);
}

TEST(PlatformTables, PlatformRowsInOrder) {
    struct Row {
        const char *codename, *modelName, *biosVendor;
        uint32_t biosSize, eepromSize, cmosSize;
    };
    const Row expected[] = {
        {"Korvel", "6260 KE", "Insyde", 262144, 114, 128},
        {"Brisanda", "K 70", "Insyde", 262144, 114, 128},
        {"Milra", "N 70", "Via", 524288, 114, 128},
        {"Oltane", "652H ZP", "Via", 524288, 114, 128},
        {"NP", "NClass", "Award", 524288, 114, 128},
        {"NPE", "NClass", "Award", 524288, 114, 128},
        {"Zinth", "MClass", "Phoenix", 1048576, 512, 128},
        {"Tavorin", "MClass", "Phoenix", 1048576, 512, 128},
        {"Laptop", "ZClass", "Phoenix", 1048576, 512, 128},
        {"NPZ", "NPZClass", "Phoenix", 524288, 512, 128},
        {"Nevika-SST49LF160C", "HClass", "Phoenix", 2097152, 512, 128},
        {"Nevika", "HClass", "Phoenix", 1048576, 512, 128},
        {"Lirrane", "ZClass", "Insyde", 2097152, 256, 128},
    };
    static_assert(sizeof expected / sizeof expected[0] == IXO_PLATFORM_TRANSLATION_ROWS - 1);
    for (size_t i = 0; i < IXO_PLATFORM_TRANSLATION_ROWS - 1; ++i) {
        const PlatformTranslationRow &row = platformTranslation[i];
        std::string where = "row " + std::to_string(i + 1);
        expectField(row.codename, expected[i].codename, where);
        expectField(row.modelName, expected[i].modelName, where);
        expectField(row.biosVendor, expected[i].biosVendor, where);
        EXPECT_EQ(row.biosSize, expected[i].biosSize) << where;
        EXPECT_EQ(row.eepromSize, expected[i].eepromSize) << where;
        EXPECT_EQ(row.cmosSize, expected[i].cmosSize) << where;
    }
    EXPECT_TRUE(allZero(&platformTranslation[IXO_PLATFORM_TRANSLATION_ROWS - 1],
                        sizeof(PlatformTranslationRow)));
    // The sizes are little-endian 32-bit numbers right after the three names.
    const unsigned char *first = reinterpret_cast<const unsigned char *>(&platformTranslation[0]);
    const unsigned char biosSize[4] = {0x00, 0x00, 0x04, 0x00};
    EXPECT_EQ(std::memcmp(first + 60, biosSize, 4), 0);
    EXPECT_EQ(first[64], 114);
}

TEST(PlatformTables, ProcessorRowsInOrder) {
    struct Row {
        const char *modelKey;
        uint32_t limit;
        const char *name;
        uint32_t speed;
    };
    const Row expected[] = {
        {"6260KE", 350, "AMD Geode GX 466 @ 0.9W Processor", 466},
        {"K70", 350, "AMD Geode GX 466 @ 0.9W Processor", 466},
        {"6260KE", 1000, "AMD Geode GX 533 @ 1.1W Processor", 533},
        {"K70", 1000, "AMD Geode GX 533 @ 1.1W Processor", 533},
    };
    for (size_t i = 0; i < 4; ++i) {
        const CpuTranslationRow &row = cpuTranslation[i];
        std::string where = "row " + std::to_string(i + 1);
        expectField(row.modelKey, expected[i].modelKey, where);
        EXPECT_EQ(row.reportedSpeedLimit, expected[i].limit) << where;
        expectField(row.processorName, expected[i].name, where);
        EXPECT_EQ(row.processorSpeed, expected[i].speed) << where;
    }
    EXPECT_TRUE(allZero(&cpuTranslation[4], sizeof(CpuTranslationRow)));
}

TEST(PlatformTables, InterfaceSectionsStartWithoutMacs) {
    const char *const sections[] = {"Network-eth0", "Network-eth1", "Network-wlan0",
                                    "Network-ppp0"};
    for (size_t i = 0; i < 4; ++i) {
        const NetworkInterfaceSection &row = networkInterfaces[i];
        expectField(row.sectionName, sections[i], sections[i]);
        // Nothing in this suite's process has configured an interface yet,
        // or it cleared the cache again.
        expectField(row.cachedMac, "", sections[i]);
        EXPECT_TRUE(allZero(row.reserved, sizeof row.reserved)) << sections[i];
    }
    EXPECT_TRUE(allZero(&networkInterfaces[4], sizeof(NetworkInterfaceSection)));
}

}  // namespace
