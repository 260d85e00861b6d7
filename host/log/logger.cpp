// The agent's log: one line per message, to standard error or to a file.
// The last error messages are also kept in memory, whatever the log level,
// so that a failed command can be reported with its reasons.
#include <time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/host.h"
#include "src/urlPasswords.h"

namespace {

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

const int kErrorLevel = 1;

std::mutex logMutex;
int threshold = 3;
std::deque<std::string> recentErrorLines;
// Never closed at exit: a message logged from a static destructor must not
// meet a closed file.
FILE *currentFile = nullptr;
std::string currentPath;

std::string formatMessage(const char *format, va_list arguments) {
    if (format == nullptr) {
        return std::string();
    }
    std::string text(256, '\0');
    va_list copy;
    va_copy(copy, arguments);
    int needed = std::vsnprintf(&text[0], text.size(), format, copy);
    va_end(copy);
    if (needed < 0) {
        return "(message could not be formatted: " + std::string(format) + ")";
    }
    if (static_cast<size_t>(needed) >= text.size()) {
        text.assign(static_cast<size_t>(needed) + 1, '\0');
        std::vsnprintf(&text[0], text.size(), format, arguments);
    }
    text.resize(static_cast<size_t>(needed));
    return text;
}

std::string timestamp() {
    time_t now = time(nullptr);
    struct tm local;
    char text[32];
    if (localtime_r(&now, &local) == nullptr ||
        strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) {
        return "0000-00-00 00:00:00";
    }
    return text;
}

}  // namespace

extern "C" void ixoLogger(const char *module, const char *function, int line, int level,
                          const char *format, ...) {
    bool written = level <= agent::logLevel();
    bool remembered = level <= kErrorLevel;
    if (!written && !remembered) {
        return;
    }
    std::string text;
    std::string error;
    try {
        va_list arguments;
        va_start(arguments, format);
        text = formatMessage(format, arguments);
        va_end(arguments);
        // A log line is one message of text: a reader can rely on it, also
        // when a message carries raw device bytes (a NUL from "%c").
        for (char &c : text) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) {
                c = '?';
            }
        }
        if (remembered) {
            error = ixo::hideUrlPasswords(text);
            if (error.size() > agent::kRecentErrorLength) {
                error.resize(agent::kRecentErrorLength - 3);
                error += "...";
            }
        }
        text = timestamp() + " " + (module != nullptr ? module : "-") + " " +
               (function != nullptr ? function : "-") + ":" + std::to_string(line) + " [" +
               std::to_string(level) + "] " + text + "\n";
    } catch (const std::bad_alloc &) {
        return;
    }
    std::lock_guard<std::mutex> lock(logMutex);
    if (written) {
        FILE *out = currentFile != nullptr ? currentFile : stderr;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fflush(out);
    }
    if (remembered) {
        try {
            recentErrorLines.push_back(std::move(error));
        } catch (const std::bad_alloc &) {
            return;
        }
        while (recentErrorLines.size() > agent::kRecentErrorLines) {
            recentErrorLines.pop_front();
        }
    }
}

namespace agent {

void setLogLevel(int level) {
    std::lock_guard<std::mutex> lock(logMutex);
    threshold = level;
}

int logLevel() {
    std::lock_guard<std::mutex> lock(logMutex);
    return threshold;
}

bool setLogFile(const std::string &path, std::string *error) {
    FilePtr file;
    if (!path.empty()) {
        // Close-on-exec: device programs started by the library must not
        // inherit the log.
        file.reset(std::fopen(path.c_str(), "ae"));
        if (!file) {
            if (error != nullptr) {
                *error = "Cannot open log file '" + path + "': " + std::strerror(errno);
            }
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(logMutex);
    FilePtr previous(currentFile);
    currentFile = file.release();
    currentPath = path;
    return true;
}

std::string logFile() {
    std::lock_guard<std::mutex> lock(logMutex);
    return currentPath;
}

void clearRecentErrors() {
    std::lock_guard<std::mutex> lock(logMutex);
    recentErrorLines.clear();
}

std::vector<std::string> recentErrors() {
    std::lock_guard<std::mutex> lock(logMutex);
    return std::vector<std::string>(recentErrorLines.begin(), recentErrorLines.end());
}

}  // namespace agent
