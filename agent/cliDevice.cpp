// The device an ixoAgent run works on, and the library's test mode.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "agent/argumentFile.h"
#include "agent/cliSession.h"
#include "host/host.h"
#include "host/registry/registry.h"
#include "sim/attach.h"
#include "sim/sim.h"

namespace agent {

namespace {

// Far above any registry the test mode copies.
constexpr size_t kMaxTestModeFile = 4 * 1024 * 1024;

const char kTestDirectory[] = "/.v6_test_dir";

struct TestModeCopy {
    const char *source;  // beside the executable
    const char *copy;    // in the test directory
};
const TestModeCopy kTestModeCopies[] = {
    {"system.conf", "reg_temporary"},
    {"dummy.control", "dummy.control"},
};

std::string directoryOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

int attachDevice(const GlobalOptions &options, PlatformLibrary &library, std::string *root) {
    if (options.realDevice) {
        root->clear();
        return -1;
    }
    bool chosen = !options.deviceRoot.empty();
    *root = chosen ? options.deviceRoot : defaultDeviceRoot();
    std::string error;
    if (!sim::isDevice(*root)) {
        if (chosen) {
            return cliFailure(*root + " is no simulated device; make one with 'ixoAgent sim-init " +
                              *root + "'");
        }
        if (!sim::buildDevice(*root, &error)) {
            return cliFailure("cannot build the simulated device in " + *root + ": " + error);
        }
        std::fprintf(stderr, "ixoAgent: built a simulated thin client in %s\n", root->c_str());
    }
    // IXO_SHELL_LINE_LOG names a file that gets every command line run on
    // the simulated device, for the tests that check how lines are quoted.
    IxoCommandRunner runner = sim::chrootRunner;
    const char *lineLog = std::getenv("IXO_SHELL_LINE_LOG");
    if (lineLog != nullptr && lineLog[0] != '\0') {
        sim::setLineLog(lineLog);
        runner = sim::recordingRunner;
    }
    // Without a network controller the EEPROM layer finds none and says so
    // itself; one that cannot be attached is worth a warning.
    std::string nicError;
    if (!sim::attachDevice({library.setDeviceRoot, library.setCommandRunner, library.setPortIo},
                           *root, runner, &nicError)) {
        std::fprintf(stderr, "ixoAgent: the network controller is not attached: %s\n",
                     nicError.c_str());
    }
    return -1;
}

int checkDeviceShell(const std::string &root) {
    if (root.empty()) {
        return -1;
    }
    // Not through the recording runner: this line is the agent's, not the
    // library's.
    int status = sim::chrootRunner("exit 0");
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return -1;
    }
    std::string how = status == -1           ? "it could not be started"
                      : WIFEXITED(status)     ? "exit status " + std::to_string(WEXITSTATUS(status))
                      : WIFSIGNALED(status)   ? "killed by signal " + std::to_string(WTERMSIG(status))
                                              : "wait status " + std::to_string(status);
    return cliFailure("the shell of the simulated device in " + root + " does not start (" + how +
                      "): its command lines cannot run; refresh it with 'ixoAgent sim-init " +
                      root + "'");
}

int enterTestMode(const PlatformLibrary &library) {
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return cliFailure("--test-mode needs HOME set to an absolute directory");
    }
    std::string self = executablePath();
    if (self.empty()) {
        return cliFailure("--test-mode: cannot tell where the ixoAgent executable is");
    }
    std::string testDirectory = std::string(home) + kTestDirectory;
    setHostRegistryDirectory(testDirectory);
    std::vector<char> path(self.begin(), self.end());
    path.push_back('\0');
    library.setTestMode(path.data());
    // The library copies with the shell and reports nothing: a copy that
    // does not match its source, a stale one included, means it failed.
    for (const TestModeCopy &file : kTestModeCopies) {
        std::string source = directoryOf(self) + "/" + file.source;
        std::string copy = testDirectory + "/" + file.copy;
        std::string wanted;
        std::string made;
        std::string error;
        if (!readArgumentFile(source, kMaxTestModeFile, &wanted, &error)) {
            return cliFailure("--test-mode needs " + std::string(file.source) +
                              " beside the ixoAgent executable: " + error);
        }
        if (!readArgumentFile(copy, kMaxTestModeFile, &made, &error) || made != wanted) {
            return cliFailure("--test-mode: the library did not copy " + source + " to " + copy +
                              (error.empty() ? "" : " (" + error + ")") + " (see the log)");
        }
    }
    return -1;
}

}  // namespace agent
