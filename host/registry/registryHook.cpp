// The device's registry-change hook: a program that applies a changed registry
// (restarts what reads it), run by reg_close_action.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/host.h"
#include "host/registry/registry.h"
#include "host/registry/registryStore.h"

namespace {

const char kHook[] = "/etc/registry.d/changed";

agent::HookRunner currentRunner = nullptr;

std::string quoted(const std::string &text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

std::string describeStatus(int status) {
    if (status == -1) {
        return "could not be started";
    }
    if (WIFEXITED(status)) {
        return "exited with " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "was killed by signal " + std::to_string(WTERMSIG(status));
    }
    return "ended with status " + std::to_string(status);
}

}  // namespace

namespace agent {

void setHookRunner(HookRunner runner) { currentRunner = runner; }

}  // namespace agent

namespace agent::registry {

std::string hookCommandLine(const std::string &hook, const std::string &registry) {
    return quoted(hook) + " " + quoted(registry);
}

void runChangeHook(const std::string &registryDevicePath) {
    std::string host = agent::devicePath(kHook);
    struct stat info;
    if (::stat(host.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            fail(nullptr, __func__, __LINE__, systemFailure("cannot examine hook", kHook));
        }
        return;
    }
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0111) == 0) {
        ixoLogger("Registry", __func__, __LINE__, 3, "%s is not an executable file: not run",
                  kHook);
        return;
    }
    // system(3) would run the host's hook, not the simulated device's.
    if (currentRunner == nullptr && !agent::deviceRoot().empty()) {
        fail(nullptr, __func__, __LINE__,
             std::string("no hook runner for the simulated device: ") + kHook + " not run");
        return;
    }
    std::string line = hookCommandLine(kHook, registryDevicePath);
    ixoLogger("Registry", __func__, __LINE__, 3, "running %s", line.c_str());
    int status = currentRunner != nullptr ? currentRunner(line.c_str()) : std::system(line.c_str());
    if (status != 0) {
        fail(nullptr, __func__, __LINE__, "registry hook " + line + " " + describeStatus(status));
    }
}

}  // namespace agent::registry
