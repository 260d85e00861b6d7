// A flash card imaged whole into a file beyond 2 GiB: the 32-bit build must
// still open and read it. The file is sparse and takes no room.
#include <unistd.h>

#include <gtest/gtest.h>

#include "ixo/assets.h"
#include "ixo/platform_data.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace {

using LargeFileTest = support::SimDeviceTest;

TEST_F(LargeFileTest, FlashImageBeyond2GiBGivesItsPartitions) {
    support::writeFile(hostPath("/dev/sda"),
                       sim::masterBootRecord({{1, 0x80, 0x83, 2048, 6289408}}, true));
    ASSERT_EQ(::truncate64(hostPath("/dev/sda").c_str(), 3LL << 30), 0);
    PlatformData record = {};
    ASSERT_EQ(getSDFlashAsset(&record), 0) << support::logText();
    WriteableMediaEntry *entry = record.writeableMedia;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->partitionNumber, 1);
    EXPECT_EQ(entry->startSector, 2048u);
    EXPECT_EQ(entry->sectorCount, 6289408u);
    EXPECT_EQ(entry->next, nullptr);
    EXPECT_EQ(freePlatformData(&record), 0);
    EXPECT_EQ(record.writeableMedia, nullptr);
}

}  // namespace
