// The add-on suites: a simulated device whose "server" is a directory of
// packages (the agent's download entry copies from it), tar packages made
// with the device's busybox, and the command lines of every process (the
// agent upgrade runs some in its detached process) kept in a file.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "agent/ixoagent.h"
#include "ixo/commands.h"
#include "ixo/guards.h"
#include "ixo/seams.h"
#include "sim/sim.h"
#include "tests/commands/commandTestSupport.h"
#include "tests/support/support.h"

namespace addontest {

using Files = std::map<std::string, std::string>;
using Parameters = std::vector<std::pair<std::string, std::string>>;

// ---- the package server ------------------------------------------------------
inline std::string &packageDirectory() {
    static std::string directory;
    return directory;
}
inline std::vector<std::pair<std::string, std::string>> &downloads() {
    static std::vector<std::pair<std::string, std::string>> calls;
    return calls;
}

// The agent's downloadToFile for these suites: the URL's last component
// names a file of the package directory; a missing one fails as a 404 would.
inline int copyPackage(const char *url, const char *destination, int) {
    downloads().emplace_back(url, destination);
    std::string name = url;
    name = name.substr(name.rfind('/') + 1);
    std::string source = packageDirectory() + "/" + name;
    if (name.empty() || !support::exists(source)) {
        return -1;
    }
    try {
        support::writeFile(agent::devicePath(destination), support::readFile(source));
    } catch (const std::exception &) {
        return -1;
    }
    return 0;
}

// ---- command lines of all processes ----------------------------------------------
inline std::string &lineFile() {
    static std::string path;
    return path;
}

inline int fileRecordingRunner(const char *line) {
    if (line != nullptr && !lineFile().empty()) {
        std::string entry = std::string(line) + "\n";
        int fd = open(lineFile().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ssize_t wrote = write(fd, entry.data(), entry.size());
            (void)wrote;
            close(fd);
        }
    }
    return sim::recordingRunner(line);
}

inline std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The argument lists a stand-in kept in /var/log/NAME.argv: per run the
// count, then each argument, all NUL-terminated.
inline std::vector<std::vector<std::string>> argumentLists(const std::string &root,
                                                           const std::string &name) {
    std::string text = support::readFile(root + "/var/log/" + name + ".argv");
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated argument in " << name << ".argv";
            break;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::vector<std::string>> runs;
    for (size_t index = 0; index < fields.size();) {
        size_t count = std::stoul(fields[index++]);
        if (index + count > fields.size()) {
            ADD_FAILURE() << "short argument list in " << name << ".argv";
            break;
        }
        runs.emplace_back(fields.begin() + index, fields.begin() + index + count);
        index += count;
    }
    return runs;
}

class AddonTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        packageDirectory() = support::makeTempDir("packages-");
        lineFile() = packageDirectory() + ".lines";
        downloads().clear();
        table = *agent::functionTable();
        table.downloadToFile = copyPackage;
        initPlatformSpecificCommands(&table);
        ixoSetCommandRunner(fileRecordingRunner);
        sim::setKnob(root, "sleep.seconds", "0");
        // Whatever the agent upgrade leaves running is reparented here, to be
        // waited for.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    }

    void TearDown() override {
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        EXPECT_TRUE(collectDescendants()) << "processes were still running";
        prctl(PR_SET_CHILD_SUBREAPER, 0);
        ixoSetCommandRunner(sim::recordingRunner);
        initPlatformSpecificCommands(agent::functionTable());
        support::removeTree(packageDirectory());
        ::unlink(lineFile().c_str());
        lineFile().clear();
        support::SimDeviceTest::TearDown();
    }

    // A tar package of files (name -> content) in the package directory,
    // made by the device's own busybox tar.
    void makePackage(const std::string &name, const Files &files) {
        std::string build = hostPath("/tmp/package-build");
        ASSERT_EQ(mkdir(build.c_str(), 0755), 0) << std::strerror(errno);
        for (const auto &file : files) {
            support::writeFile(build + "/" + file.first, file.second);
        }
        ASSERT_EQ(sim::chrootRunner("cd /tmp/package-build && /bin/busybox tar -cf "
                                    "/tmp/package.tar ."),
                  0);
        ASSERT_EQ(rename(hostPath("/tmp/package.tar").c_str(),
                         (packageDirectory() + "/" + name).c_str()),
                  0)
            << std::strerror(errno);
        support::removeTree(build);
    }

    void installAddon(const std::string &name, const Files &files = {{"control", "x\n"}}) {
        std::string directory = hostPath("/etc/addons.d/" + name);
        ASSERT_EQ(mkdir(directory.c_str(), 0755), 0) << name << ": " << std::strerror(errno);
        for (const auto &file : files) {
            support::writeFile(directory + "/" + file.first, file.second);
        }
    }

    void setOsVersion(const std::string &version) {
        std::string path = hostPath("/tmp/system.conf");
        std::string text = support::readFile(path);
        const std::string current = "[system]\nversion=6.2.0\n";
        size_t at = text.find(current);
        ASSERT_NE(at, std::string::npos) << text;
        text.replace(at, current.size(), "[system]\nversion=" + version + "\n");
        support::writeFile(path, text);
    }

    commandtest::Outcome run(const std::string &name, const Parameters &parameters) {
        agent::CommandPtr command = commandtest::makeCommand(name, parameters);
        EXPECT_TRUE(command);
        CommandHandlerFn handler = commandtest::handlerFor(name);
        EXPECT_NE(handler, nullptr) << name;
        if (!command || handler == nullptr) {
            return {};
        }
        return commandtest::runHandler(handler, command.get());
    }

    // Every command line run so far, by any process.
    std::vector<std::string> lines() const { return splitLines(support::readFile(lineFile())); }
    std::vector<std::string> programs() const { return sim::programLog(root); }

    // Waits (at most about three seconds) until every process started for
    // the test has ended and is collected; then ends any left over.
    bool collectDescendants() {
        for (int attempt = 0; attempt < 300; ++attempt) {
            int status = 0;
            pid_t done = waitpid(-1, &status, WNOHANG);
            if (done < 0 && errno == ECHILD) {
                return true;
            }
            if (done <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        for (pid_t child : children()) {
            kill(child, SIGKILL);
        }
        for (int attempt = 0; attempt < 100 && waitpid(-1, nullptr, WNOHANG) >= 0; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    AgentFunctionTable table{};

private:
    // This process's children, from /proc (the leftovers to end).
    static std::vector<pid_t> children() {
        std::vector<pid_t> found;
        std::string self = std::to_string(getpid());
        std::string text = support::readFile("/proc/" + self + "/task/" + self + "/children");
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(' ', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            if (end > start) {
                found.push_back(static_cast<pid_t>(std::stol(text.substr(start, end - start))));
            }
            start = end + 1;
        }
        return found;
    }
};

}  // namespace addontest
