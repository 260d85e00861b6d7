// Files beyond 2 GiB on the device: the 32-bit build must still open, replace
// and read them (an image left by an earlier download, a flash card imaged
// whole). The big files here are sparse and take no room.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "host/host.h"
#include "ixo/assets.h"
#include "ixo/commands.h"
#include "ixo/platform_data.h"
#include "sim/sim.h"
#include "tests/support/downloadTestSupport.h"

namespace {

constexpr long long kBeyond2GiB = 3LL * 1024 * 1024 * 1024;

class LargeFileTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        initPlatformSpecificCommands(agent::functionTable());
    }
    void TearDown() override {
        freePlatformData(&record);
        support::SimDeviceTest::TearDown();
    }

    // A file of the given size whose first bytes are head, the rest a hole
    // (made with the 64-bit call whatever the build's own file offsets).
    void writeSparse(const std::string &devicePath, const std::string &head, long long size) {
        support::writeFile(hostPath(devicePath), head);
        ASSERT_EQ(::truncate64(hostPath(devicePath).c_str(), static_cast<off64_t>(size)), 0)
            << std::strerror(errno);
    }

    PlatformData record = {};
};

TEST_F(LargeFileTest, MimeDownloadReplacesAFileBeyond2GiB) {
    writeSparse("/home/root/image.bin", "old image", kBeyond2GiB);
    ASSERT_EQ(downloadtest::runDownload(
                  {{"source", "image.bin"}, {"destination", "/home/root/image.bin"}},
                  {{"Content-Location: image.bin", "new image"}}),
              commandtest::Outcome(0))
        << support::logText();
    EXPECT_EQ(support::readFile(hostPath("/home/root/image.bin")), "new image");
}

TEST_F(LargeFileTest, FlashImageBeyond2GiBGivesItsPartitions) {
    writeSparse("/dev/sda", sim::masterBootRecord({{1, 0x80, 0x83, 2048, 6289408}}, true),
                kBeyond2GiB);
    ASSERT_EQ(getSDFlashAsset(&record), 0) << support::logText();
    WriteableMediaEntry *entry = record.writeableMedia;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->partitionNumber, 1);
    EXPECT_EQ(entry->startSector, 2048u);
    EXPECT_EQ(entry->sectorCount, 6289408u);
    EXPECT_EQ(entry->next, nullptr);
}

}  // namespace
