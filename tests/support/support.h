// Shared test support. The test main (testMain.cpp) installs the safe seams
// before any test runs: the device root is a temporary directory, the command
// runner is sim::recordingRunner and port I/O is the simulated port bus, so no
// test can reach the real device.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace support {

// A fresh directory under the test run's temporary directory.
std::string makeTempDir(const std::string &prefix);
void removeTree(const std::string &dir);
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);
bool exists(const std::string &path);
// Text as the content of an XML element (&, < and > escaped).
std::string xmlText(const std::string &text);

// Points the library, the agent's services and the simulator at root, with
// the recording runner; the port bus stays as it is.
void useDeviceRoot(const std::string &root);

// The seconds passed to pSleep since the last clearSleeps(). Waits of one
// second really sleep (the lockout polls with them); longer ones only record.
std::vector<int> sleeps();
void clearSleeps();

// The agent's log: every line since the last clearLog() (level 4 and up are kept).
std::string logText();
void clearLog();

// A local user other than root (the user nobody), the attacker of the tests
// that plant files, links and FIFOs or race the agent. Paths the user must
// reach are opened to it first (every directory from the run's directory
// down gets o+x). runAsLocalUser waits and gives the wait status; the work's
// result is the exit code (120: the user could not be taken on).
void openToLocalUsers(const std::string &path);
pid_t startAsLocalUser(const std::function<int()> &work);
int waitForLocalUser(pid_t user);
int runAsLocalUser(const std::function<int()> &work);
void stopLocalUser(pid_t user);  // SIGKILL, then collected

// Makes this test process the reaper of what its children leave running (the
// agent upgrade's detached restart process), so that the test can wait for
// it. False where the kernel interface is missing: 32-bit test programs run
// under user-mode emulation do not have it, and such a test is skipped.
bool becomeSubreaper();
void stopBeingSubreaper();

// A fresh simulated device per test, with every root pointing at it, the
// recorded command lines, sleeps and log cleared, and the port bus reset.
class SimDeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The host path of a device path inside this test's device.
    std::string hostPath(const std::string &devicePath) const;

    std::string root;
};

}  // namespace support
