// The add-on suites: a simulated device whose "server" is a directory of
// packages (the agent's download entry copies from it), tar packages made
// with the device's busybox, and the command lines of every process (the
// agent upgrade runs some in its detached process) kept in a file.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <map>
#include <sstream>
#include <thread>

#include "tests/support/commandTestSupport.h"

namespace addontest {

// What refreshes the desktop after an add-on change.
inline const char connectionManagerLine[] = "sudo su -c \"/sbin/conmgr.sh\"";

inline std::string packageDirectory;
inline std::vector<std::pair<std::string, std::string>> downloads;

// The agent's downloadToFile for these suites: the URL's last component
// names a file of the package directory; a missing one fails as a 404 would.
inline int copyPackage(const char *url, const char *destination, int) {
    downloads.emplace_back(url, destination);
    std::string name = std::string(url).substr(std::string(url).rfind('/') + 1);
    std::string source = packageDirectory + "/" + name;
    if (name.empty() || !support::exists(source)) {
        return -1;
    }
    support::writeFile(agent::devicePath(destination), support::readFile(source));
    return 0;
}

// What a stand-in keeps in /var/log/NAME.argv for one run: the count, then
// each argument, all NUL-terminated.
inline std::string argvRecord(std::initializer_list<std::string> arguments) {
    std::string record = std::to_string(arguments.size()) + '\0';
    for (const std::string &argument : arguments) {
        record += argument + '\0';
    }
    return record;
}

class AddonTest : public commandtest::HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        packageDirectory = support::makeTempDir("packages-");
        lineLog = packageDirectory + ".lines";
        sim::setLineLog(lineLog);
        downloads.clear();
        table = *agent::functionTable();
        table.downloadToFile = copyPackage;
        initPlatformSpecificCommands(&table);
        sim::setKnob(root, "sleep.seconds", "0");
        // Whatever the agent upgrade leaves running is reparented here, to be
        // waited for.
        if (!support::becomeSubreaper()) {
            GTEST_SKIP() << "this system cannot make a process the reaper of its descendants";
        }
    }

    void TearDown() override {
        if (userLockedOut()) {
            endUserLockoutDialog();
        }
        EXPECT_TRUE(collectDescendants()) << "processes were still running";
        support::stopBeingSubreaper();
        sim::setLineLog("");
        initPlatformSpecificCommands(agent::functionTable());
        support::removeTree(packageDirectory);
        ::unlink(lineLog.c_str());
        HandlerTest::TearDown();
    }

    // A tar package of files (name -> content) in the package directory,
    // made by the device's own busybox tar.
    void makePackage(const std::string &name, const std::map<std::string, std::string> &files) {
        std::string build = hostPath("/tmp/package-build");
        ASSERT_EQ(mkdir(build.c_str(), 0755), 0) << std::strerror(errno);
        for (const auto &file : files) {
            support::writeFile(build + "/" + file.first, file.second);
        }
        ASSERT_EQ(sim::chrootRunner("cd /tmp/package-build && /bin/busybox tar -cf /tmp/p.tar ."), 0);
        ASSERT_EQ(rename(hostPath("/tmp/p.tar").c_str(), (packageDirectory + "/" + name).c_str()), 0)
            << std::strerror(errno);
        support::removeTree(build);
    }

    void installAddon(const std::string &name) {
        ASSERT_EQ(mkdir(hostPath("/etc/addons.d/" + name).c_str(), 0755), 0) << name;
        write("/etc/addons.d/" + name + "/control");
    }

    // Every command line run so far, by any process.
    commandtest::Lines lines() const { return sim::readLineLog(lineLog); }
    void clearLines() const { ::unlink(lineLog.c_str()); }

    // Waits (at most about three seconds) until every process started for
    // the test has ended and is collected; then ends any left over.
    bool collectDescendants() {
        for (int attempt = 0; attempt < 300; ++attempt) {
            if (waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::string self = std::to_string(getpid());
        std::istringstream children(
            support::readFile("/proc/" + self + "/task/" + self + "/children"));
        for (pid_t child; children >> child;) {
            kill(child, SIGKILL);
        }
        for (int attempt = 0; attempt < 100 && waitpid(-1, nullptr, WNOHANG) >= 0; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    AgentFunctionTable table{};
    std::string lineLog;
};

}  // namespace addontest
