#include "host/download/downloadProgress.h"

#include <unistd.h>

namespace agent {

namespace {

std::string amount(double bytes) {
    static const char *const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < sizeof units / sizeof units[0]) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    if (unit == 0) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
    }
    return text;
}

}  // namespace

std::string progressText(long long done, long long total, double seconds) {
    std::string text = amount(static_cast<double>(done));
    if (total > 0) {
        long long percent = done >= total ? 100 : done * 100 / total;
        text += " of " + amount(static_cast<double>(total)) + " (" + std::to_string(percent) + "%)";
    }
    double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    return text + ", " + amount(rate) + "/s";
}

bool progressWanted() { return ::isatty(STDERR_FILENO) == 1; }

DownloadProgress::DownloadProgress(bool shown, std::FILE *stream, Clock::time_point start)
    : shown_(shown), stream_(stream), start_(start) {}

DownloadProgress::~DownloadProgress() { finish(); }

void DownloadProgress::report(long long done, long long total, Clock::time_point now) {
    done_ = done;
    total_ = total;
    if (shown_ && (!drawnOnce_ || now - drawn_ >= kInterval)) {
        draw(done, total, now);
    }
}

void DownloadProgress::finish(Clock::time_point now) {
    if (!drawnOnce_) {
        return;
    }
    draw(done_, total_, now);
    std::fputc('\n', stream_);
    std::fflush(stream_);
    drawnOnce_ = false;
    shown_ = false;
}

void DownloadProgress::draw(long long done, long long total, Clock::time_point now) {
    std::string text =
        "download: " + progressText(done, total, std::chrono::duration<double>(now - start_).count());
    // Blanks over what is left of a longer line before.
    size_t width = text.size();
    if (width < width_) {
        text.append(width_ - width, ' ');
    }
    width_ = width;
    std::fprintf(stream_, "\r%s", text.c_str());
    std::fflush(stream_);
    drawn_ = now;
    drawnOnce_ = true;
}

}  // namespace agent
