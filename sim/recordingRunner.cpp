// The runner that tests install: it keeps every command line and runs it only
// on a simulated device, never on this machine.
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

}  // namespace

int recordingRunner(const char *commandLine) {
    int status;
    {
        std::lock_guard<std::mutex> lock(recordLock);
        if (commandLine != nullptr) {
            lines().emplace_back(commandLine);
        }
        status = result();
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

}  // namespace sim
