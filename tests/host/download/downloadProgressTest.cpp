// What a person at a terminal sees while the agent downloads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/download/downloadProgress.h"

using ::testing::EndsWith;
using ::testing::IsEmpty;

namespace {

using Clock = agent::DownloadProgress::Clock;
using std::chrono::milliseconds;

TEST(DownloadProgressTest, TextGivesBytesRateAndPercentWhenTheSizeIsKnown) {
    struct Case {
        long long done;
        long long total;
        double seconds;
        const char *text;
    };
    const Case cases[] = {
        {0, 0, 0, "0 B, 0 B/s"},
        {512, -1, 1, "512 B, 512 B/s"},
        {1536, 0, 2, "1.5 KiB, 768 B/s"},
        {3 * 1024 * 1024 / 2, 4 * 1024 * 1024, 3, "1.5 MiB of 4.0 MiB (37%), 512.0 KiB/s"},
        {4 * 1024 * 1024, 4 * 1024 * 1024, 1, "4.0 MiB of 4.0 MiB (100%), 4.0 MiB/s"},
        {5LL * 1024 * 1024 * 1024, 10LL * 1024 * 1024 * 1024, 0.5,
         "5.0 GiB of 10.0 GiB (50%), 10.0 GiB/s"},
        // A server that sends more than it announced does not pass 100%.
        {2000, 1000, 1, "2.0 KiB of 1000 B (100%), 2.0 KiB/s"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(agent::progressText(c.done, c.total, c.seconds), c.text);
    }
}

// The stream's content after work ran.
template <typename Work>
std::string written(const Work &work) {
    char *text = nullptr;
    size_t size = 0;
    std::FILE *stream = open_memstream(&text, &size);
    work(stream);
    std::fclose(stream);
    std::string content(text, size);
    std::free(text);
    return content;
}

TEST(DownloadProgressTest, AtMostFourLinesASecondEndedWithANewlineAndNoneUnwatched) {
    Clock::time_point start = Clock::now();
    auto transfer = [start](bool shown) {
        return written([&](std::FILE *stream) {
            agent::DownloadProgress progress(shown, stream, start);
            for (int tick = 0; tick <= 10; ++tick) {  // every 100 ms for a second
                progress.report(tick * 1024, 10 * 1024, start + milliseconds(100 * tick));
            }
            progress.finish(start + milliseconds(1000));
        });
    };
    EXPECT_THAT(transfer(false), IsEmpty());
    std::string shown = transfer(true);
    // Drawn at 0, 300, 600 and 900 ms, and once more at the end.
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\r'), 5) << shown;
    EXPECT_THAT(shown, EndsWith("\rdownload: 10.0 KiB of 10.0 KiB (100%), 10.0 KiB/s\n"));
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);
}

}  // namespace
