// Files beyond 2 GiB on the device: the 32-bit build must still open, replace
// and read them (an image left by an earlier download, a flash card imaged
// whole). The big files here are sparse and take no room.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "agent/base64.h"
#include "agent/ixoagent.h"
#include "ixo/assets.h"
#include "ixo/commands.h"
#include "ixo/platform_data.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/support/support.h"

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
    std::string xml =
        "<command name=\"downloadFileFromServer\"><parameters><source>image.bin</source>"
        "<destination>/home/root/image.bin</destination></parameters>"
        "<mimePart><headers>Content-Location: image.bin</headers><body encoding=\"base64\">" +
        agent::detail::base64Encode("new image") + "</body></mimePart></command>";
    std::string error;
    agent::CommandPtr command = agent::parseCommand(xml, "download.xml", &error);
    ASSERT_TRUE(command) << error;
    commandtest::Outcome outcome =
        commandtest::runHandler(commandtest::handlerFor("downloadFileFromServer"), command.get());
    ASSERT_EQ(outcome.result, 0) << outcome.errorClass << "\n" << support::logText();
    EXPECT_EQ(support::readFile(hostPath("/home/root/image.bin")), "new image");
}

TEST_F(LargeFileTest, FlashImageBeyond2GiBGivesItsPartitions) {
    writeSparse("/dev/sda", sim::masterBootRecord({{1, 0x80, 0x83, 2048, 6289408}}, true),
                kBeyond2GiB);
    ASSERT_EQ(getSDFlashAsset(&record), 0) << support::logText();
    ASSERT_NE(record.writeableMedia, nullptr);
    int entries = 0;
    for (WriteableMediaEntry *entry = record.writeableMedia; entry != nullptr;
         entry = entry->next) {
        ++entries;
        EXPECT_EQ(entry->partitionNumber, 1);
        EXPECT_EQ(entry->startSector, 2048u);
        EXPECT_EQ(entry->sectorCount, 6289408u);
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
