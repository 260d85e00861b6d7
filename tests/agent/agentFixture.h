// Running the real ixoAgent executable on a simulated device of the test's own.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim.h"
#include "tests/support/support.h"

namespace e2e {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using Json = nlohmann::json;
using Words = std::vector<std::string>;

const char kTaintBegin[] = "IXOTAINT";
// The file that tainted text creates, in the shell's working directory,
// should a shell ever run it.
const char kInjectedName[] = "ixo-injected";

// Outside text that tries every way into a shell: a closing quote, a command
// separator, command substitution both ways, a pipe, a redirection, a glob,
// a blank. Quoted as it must be, it reaches its program as one argument. It
// holds no slash, so that it also stands for one file or section name.
inline std::string tainted() {
    const std::string file = kInjectedName;
    return kTaintBegin + ("'\";touch " + file + ";$(touch " + file + ")`touch " + file + "`|cat>" +
                          file + " *\\IXOEND");
}

inline std::string joined(const Words &words) {
    std::string text;
    for (const std::string &word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

struct AgentRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The agent's standard output as one JSON document; null when it is not.
inline nlohmann::json parsed(const AgentRun &run) {
    nlohmann::json value = nlohmann::json::parse(run.out, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << "not JSON: " << run.out << run.err;
    return value.is_discarded() ? nlohmann::json() : value;
}

class AgentEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        work = support::makeTempDir("e2e-");
        device = work + "/device";
    }
    // No tainted text may have run: a file it would create, anywhere on the
    // device, fails the test.
    void TearDown() override {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator entry(device, error), end;
             !error && entry != end; entry.increment(error)) {
            EXPECT_NE(entry->path().filename(), kInjectedName) << entry->path();
        }
        support::removeTree(work);
    }

    // The command lines the agent has run on the device in this test so far.
    std::vector<std::string> shellLines() const { return sim::readLineLog(work + "/shell-lines"); }

    AgentRun agent(const std::vector<std::string> &arguments) {
        return finishAgent(startAgent(arguments));
    }

    // Starts the agent and returns its process id (the shell's and the
    // wrapper's, which become the agent), -1 when it could not be started.
    // IXO_AGENT_WRAPPER, when set, is a command line the agent runs under
    // (the leak check: "valgrind --error-exitcode=99 ..."). A full disk is a
    // file-size limit: writes beyond it fail with EFBIG.
    pid_t startAgent(const std::vector<std::string> &arguments) {
        std::string line = "exec <\"$0\" >\"$1\" 2>\"$2\" && shift 2 || exit 120; ";
        if (fileSizeLimit >= 0) {
            line += "trap '' XFSZ; ulimit -f " + std::to_string(fileSizeLimit / 512) + " || exit 122; ";
        }
        Words words = {"sh", "-c", line + "exec $IXO_AGENT_WRAPPER \"$@\"", "/dev/null",
                       work + "/stdout", work + "/stderr", IXO_AGENT_EXECUTABLE};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char *> argv;
        for (std::string &word : words) {
            argv.push_back(&word[0]);
        }
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            // HOME points into the test's directory, so the per-user default
            // device can never be this machine's.
            setenv("HOME", (work + "/home").c_str(), 1);
            unsetenv("XDG_CACHE_HOME");
            setenv("IXO_SHELL_LINE_LOG", (work + "/shell-lines").c_str(), 1);
            for (const auto &variable : environment) {
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            }
            execv("/bin/sh", argv.data());
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

    // A run on this test's device.
    AgentRun onDevice(Words words) {
        words.insert(words.begin(), {"--device-root", device});
        return agent(words);
    }

    void initDevice(Words options = {}) {
        options.insert(options.begin(), "sim-init");
        options.push_back(device);
        AgentRun init = agent(options);
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }

    // A command file in the test's directory.
    std::string commandFile(const std::string &name, const std::string &parameters) {
        std::string path = work + "/" + name + std::to_string(++files) + ".xml";
        support::writeFile(path, "<command name=\"" + name + "\"><parameters>" + parameters +
                                     "</parameters></command>\n");
        return path;
    }

    // An executeOnDevice command file for deviceCommand, without the
    // parameter omit.
    std::string execute(const std::string &deviceCommand, const std::string &omit = "") {
        std::string parameters;
        for (const auto &[name, value] :
             {std::pair<std::string, std::string>{"deviceCommand", deviceCommand},
              {"executeLocation", ""},
              {"sendStdout", "true"},
              {"sendStderr", "true"},
              {"needWritableFilesystem", "false"}}) {
            if (name != omit) {
                parameters += "<" + name + ">" + support::xmlText(value) + "</" + name + ">";
            }
        }
        return commandFile("executeOnDevice", parameters);
    }

    // Stores a value in a registry of the device.
    void setOnDevice(const std::string &file, const std::string &section, const std::string &key,
                     const std::string &value) {
        AgentRun set = onDevice({"registry", "set", file, section, key, value});
        ASSERT_EQ(set.exitCode, 0) << set.err;
    }

    std::string work;
    std::string device;
    // Set in the agent's environment after the fixture's own variables.
    std::vector<std::pair<std::string, std::string>> environment;
    // The largest file the agent may write, in bytes; -1 for no limit.
    long fileSizeLimit = -1;
    int files = 0;
};

}  // namespace e2e
