#include "tests/support/support.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/host.h"
#include "sim/attach.h"
#include "sim/sim.h"
#include "tests/support/support_internal.h"

namespace support {

namespace {

std::vector<int> recordedSleeps;

int removeEntry(const char *path, const struct stat *, int, struct FTW *) {
    return ::remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

}  // namespace

std::string makeTempDir(const std::string &prefix) {
    std::string pattern = runDirectory() + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    }
    return buffer.data();
}

void removeTree(const std::string &dir) {
    if (!dir.empty()) {
        nftw(dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
}

std::string xmlText(const std::string &text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool exists(const std::string &path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

void useDeviceRoot(const std::string &root) {
    sim::useDeviceRoot(sim::linkedLibrarySeams(), root, sim::recordingRunner);
}

static void recordSleep(int seconds) {
    recordedSleeps.push_back(seconds);
    // The lockout polls once a second: those waits are real. Longer waits
    // (before a reboot) are only recorded.
    if (seconds == 1) {
        sleep(1);
    }
}

std::vector<int> sleeps() { return recordedSleeps; }
void clearSleeps() { recordedSleeps.clear(); }

std::string logText() { return readFile(logPath()); }

void clearLog() {
    // Truncate in place: the agent keeps the file open in append mode.
    if (truncate(logPath().c_str(), 0) != 0 && errno != ENOENT) {
        throw std::runtime_error("cannot truncate the log " + logPath());
    }
}

void SimDeviceTest::SetUp() {
    root = makeTempDir("device-");
    std::string error;
    ASSERT_TRUE(sim::buildDevice(root, &error)) << error;
    useDeviceRoot(root);
    sim::clearRecordedLines();
    sim::setRecordingResult(0);
    sim::resetPortBus();
    clearSleeps();
    clearLog();
}

void SimDeviceTest::TearDown() {
    useDeviceRoot(safeRoot());
    removeTree(root);
}

std::string SimDeviceTest::hostPath(const std::string &devicePath) const {
    return root + devicePath;
}

// ---- the test main's safe seams --------------------------------------------------

namespace {
std::string runDir;
std::string emptyRoot;
std::string logFile;
}  // namespace

const std::string &runDirectory() { return runDir; }
const std::string &safeRoot() { return emptyRoot; }
const std::string &logPath() { return logFile; }

void installSafeSeams() {
    char pattern[] = "/tmp/ixo-tests-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    }
    runDir = pattern;
    emptyRoot = runDir + "/empty-root";
    if (mkdir(emptyRoot.c_str(), 0755) != 0) {
        throw std::runtime_error("cannot create " + emptyRoot);
    }
    // Between tests the root is an empty directory that is no simulated
    // device: the recording runner then runs nothing at all.
    std::string error;
    if (!sim::attachDevice(sim::linkedLibrarySeams(), emptyRoot, sim::recordingRunner, &error)) {
        throw std::runtime_error(error);
    }
    agent::setSleepFunction(recordSleep);
    agent::setLogLevel(4);
    logFile = runDir + "/agent.log";
    if (!agent::setLogFile(logFile, &error)) {
        throw std::runtime_error(error);
    }
}

void removeRunDirectory() {
    if (std::getenv("IXO_KEEP_TEST_FILES") == nullptr) {
        removeTree(runDir);
    }
}

}  // namespace support
