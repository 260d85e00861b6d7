// A download's progress on standard error, for a person at a terminal: bytes,
// rate and, when the size is known, percent, redrawn on one line a few times
// a second and ended with a newline. Nothing at all when no one watches.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace agent {

// "1.5 MiB of 4.0 MiB (37%), 512.0 KiB/s"; without the size when total is
// not known (0 or less).
std::string progressText(long long done, long long total, double seconds);

// Whether a download shows its progress: standard error is a terminal.
bool progressWanted();

class DownloadProgress {
public:
    using Clock = std::chrono::steady_clock;

    // shown false: every call does nothing.
    DownloadProgress(bool shown, std::FILE *stream, Clock::time_point start = Clock::now());
    DownloadProgress(const DownloadProgress &) = delete;
    DownloadProgress &operator=(const DownloadProgress &) = delete;
    ~DownloadProgress();

    // Redraws the line unless it was drawn less than kInterval ago.
    void report(long long done, long long total, Clock::time_point now = Clock::now());
    // Draws the last state and ends the line, once, if a line was drawn.
    void finish(Clock::time_point now = Clock::now());

    static constexpr std::chrono::milliseconds kInterval{250};

private:
    void draw(long long done, long long total, Clock::time_point now);

    bool shown_;
    std::FILE *stream_;
    Clock::time_point start_;
    Clock::time_point drawn_{};
    bool drawnOnce_ = false;
    size_t width_ = 0;
    long long done_ = 0;
    long long total_ = 0;
};

}  // namespace agent
