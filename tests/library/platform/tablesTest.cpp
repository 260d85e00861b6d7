// The exported tables as an agent built against another copy of the library
// reads them: by the symbol's size and up to an all-zero row.
#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <gtest/gtest.h>

#include "tests/support/platformTestSupport.h"

namespace {

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
