// Running the real ixoAgent executable on a simulated device of the test's own.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim.h"
#include "tests/agent/shellScan.h"
#include "tests/support/support.h"

namespace e2e {

struct AgentRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class AgentEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        work = support::makeTempDir("e2e-");
        device = work + "/device";
    }
    // Every line the agent ran on the device in this test is checked: no
    // tainted text may reach a shell unquoted, and none may have run.
    void TearDown() override {
        for (const std::string &line : shellLines()) {
            for (const std::string &finding : e2e::unsafeTaint(line)) {
                ADD_FAILURE() << finding;
            }
        }
        EXPECT_EQ(injectedFiles(), std::vector<std::string>())
            << "tainted text ran as a command on the device";
        support::removeTree(work);
    }

    // The files named kInjectedName anywhere on the device.
    std::vector<std::string> injectedFiles() const {
        std::vector<std::string> found;
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator entry(device, error), end;
             !error && entry != end; entry.increment(error)) {
            if (entry->path().filename() == kInjectedName) {
                found.push_back(entry->path().string());
            }
        }
        return found;
    }

    // The command lines the agent has run on the device in this test so far.
    std::vector<std::string> shellLines() const { return sim::readLineLog(work + "/shell-lines"); }

    AgentRun agent(const std::vector<std::string> &arguments) {
        return finishAgent(startAgent(arguments));
    }

    // Starts the agent and returns its process id (the wrapper's, which
    // becomes the agent), -1 when it could not be started.
    // IXO_AGENT_WRAPPER, when set, is a command line the agent runs under
    // (the leak check: "valgrind --error-exitcode=99 ..."), split at blanks.
    pid_t startAgent(const std::vector<std::string> &arguments) {
        std::string outPath = work + "/stdout";
        std::string errPath = work + "/stderr";
        std::vector<std::string> words;
        const char *wrapper = std::getenv("IXO_AGENT_WRAPPER");
        std::istringstream wrapperWords(wrapper != nullptr ? wrapper : "");
        for (std::string word; wrapperWords >> word;) {
            words.push_back(word);
        }
        words.push_back(IXO_AGENT_EXECUTABLE);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &word : words) {
            argv.push_back(&word[0]);
        }
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int in = open("/dev/null", O_RDONLY);
            if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
                dup2(in, 0) < 0) {
                _exit(120);
            }
            // HOME points into the test's directory, so the per-user default
            // device can never be this machine's.
            setenv("HOME", (work + "/home").c_str(), 1);
            unsetenv("XDG_CACHE_HOME");
            setenv("IXO_SHELL_LINE_LOG", (work + "/shell-lines").c_str(), 1);
            for (const auto &variable : environment) {
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            }
            // A full disk: writes beyond the limit fail with EFBIG.
            if (fileSizeLimit >= 0) {
                struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit),
                                       static_cast<rlim_t>(fileSizeLimit)};
                if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR ||
                    setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    _exit(122);
                }
            }
            execvp(argv[0], argv.data());
            _exit(121);
        }
        return pid;
    }

    // Waits for the agent started by startAgent; its exit code stays -1
    // unless it exited.
    AgentRun finishAgent(pid_t pid) {
        AgentRun run;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            run.exitCode = WEXITSTATUS(status);
        }
        run.out = support::readFile(work + "/stdout");
        run.err = support::readFile(work + "/stderr");
        return run;
    }

    std::string sample(const std::string &name) const {
        return std::string(IXO_SOURCE_DIR) + "/samples/" + name;
    }

    void initDevice() {
        AgentRun init = agent({"sim-init", device});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }

    std::string work;
    std::string device;
    // Set in the agent's environment after the fixture's own variables.
    std::vector<std::pair<std::string, std::string>> environment;
    // The largest file the agent may write, in bytes; -1 for no limit.
    long fileSizeLimit = -1;
};

}  // namespace e2e
