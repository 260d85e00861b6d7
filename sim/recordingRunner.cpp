// The runner that tests install: it keeps every command line and runs it only
// on a simulated device, never on this machine.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "sim/sim.h"

namespace sim {

namespace {

std::mutex recordLock;

std::vector<std::string> &lines() {
    static std::vector<std::string> recorded;
    return recorded;
}

int &result() {
    static int status = 0;
    return status;
}

std::string &lineLog() {
    static std::string path;
    return path;
}

// One write per line with O_APPEND: lines of a detached process (the agent
// upgrade's) never interleave with the agent's own.
void appendToLineLog(const std::string &path, const char *commandLine) {
    std::string record(commandLine);
    record.push_back('\0');
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::write(fd, record.data(), record.size()) ==
                                  static_cast<ssize_t>(record.size());
    int error = errno;
    if (fd >= 0 && ::close(fd) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::fprintf(stderr, "cannot append to the line log %s: %s\n", path.c_str(),
                     std::strerror(error));
    }
}

}  // namespace

int recordingRunner(const char *commandLine) {
    int status;
    std::string log;
    {
        std::lock_guard<std::mutex> lock(recordLock);
        if (commandLine != nullptr) {
            lines().emplace_back(commandLine);
        }
        status = result();
        log = lineLog();
    }
    if (commandLine != nullptr && !log.empty()) {
        appendToLineLog(log, commandLine);
    }
    if (isDevice(root())) {
        return chrootRunner(commandLine);
    }
    // Like system(NULL) on a machine without a shell.
    return commandLine == nullptr ? 0 : status;
}

std::vector<std::string> recordedLines() {
    std::lock_guard<std::mutex> lock(recordLock);
    return lines();
}

void clearRecordedLines() {
    std::lock_guard<std::mutex> lock(recordLock);
    lines().clear();
}

void setRecordingResult(int status) {
    std::lock_guard<std::mutex> lock(recordLock);
    result() = status;
}

void setLineLog(const std::string &path) {
    std::lock_guard<std::mutex> lock(recordLock);
    lineLog() = path;
}

std::vector<std::string> readLineLog(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> records;
    size_t start = 0;
    for (size_t end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
        records.push_back(text.substr(start, end - start));
    }
    return records;
}

}  // namespace sim
