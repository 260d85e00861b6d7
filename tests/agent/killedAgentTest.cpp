// ixoAgent killed in the middle of a command: what it started on the device
// for that command does not stay behind.
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/agent/agentFixture.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<pid_t> childrenOf(pid_t pid) {
    const std::string id = std::to_string(pid);
    std::ifstream list("/proc/" + id + "/task/" + id + "/children");
    std::vector<pid_t> children;
    for (pid_t child; list >> child;) {
        children.push_back(child);
    }
    return children;
}

// A process by descriptor, so that a reused process id can never stand in for
// it; readable once the process has ended.
class ProcessHandle {
public:
    explicit ProcessHandle(pid_t pid) : fd_(static_cast<int>(syscall(SYS_pidfd_open, pid, 0))) {}
    ProcessHandle(const ProcessHandle &) = delete;
    ProcessHandle &operator=(const ProcessHandle &) = delete;
    ~ProcessHandle() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool valid() const { return fd_ >= 0; }
    bool endsWithin(std::chrono::milliseconds limit) const {
        struct pollfd entry = {fd_, POLLIN, 0};
        return poll(&entry, 1, static_cast<int>(limit.count())) == 1;
    }
    void kill() const { syscall(SYS_pidfd_send_signal, fd_, SIGKILL, nullptr, 0); }

private:
    int fd_;
};

TEST_F(AgentEndToEnd, KilledAgentLeavesNoLockScreenBehind) {
    initDevice();
    // The command lasts as long as the agent, the parent of its shell.
    std::string command = commandFile(
        "executeOnDevice", "<deviceCommand>while kill -0 $PPID; do sleep 1; done</deviceCommand>"
                           "<sendStdout>false</sendStdout><sendStderr>false</sendStderr>"
                           "<needWritableFilesystem>false</needWritableFilesystem>"
                           "<executeLocation></executeLocation><lockoutUser>true</lockoutUser>");
    pid_t agentPid = startAgent({"--device-root", device, "run", command});
    ASSERT_GT(agentPid, 0);

    // The agent's lock process, and its dialog once it runs the lockdlg.
    const std::string dialogProgram = device + "/etc/addons.d/IXO_AGENT/lockdlg";
    pid_t lock = -1;
    pid_t dialog = -1;
    for (auto end = Clock::now() + std::chrono::seconds(60); dialog < 0 && Clock::now() < end;) {
        for (pid_t child : childrenOf(agentPid)) {
            for (pid_t grandchild : childrenOf(child)) {
                std::string line =
                    support::readFile("/proc/" + std::to_string(grandchild) + "/cmdline");
                if (line.find(dialogProgram) != std::string::npos) {
                    lock = child;
                    dialog = grandchild;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ProcessHandle lockProcess(lock);
    ProcessHandle dialogProcess(dialog);
    bool lockedOut = dialog > 0 && lockProcess.valid() && dialogProcess.valid();

    ASSERT_EQ(kill(agentPid, SIGKILL), 0);
    EXPECT_EQ(finishAgent(agentPid).exitCode, -1) << "the agent ended before it was killed";
    ASSERT_TRUE(lockedOut) << "the lock screen never came up";

    EXPECT_TRUE(lockProcess.endsWithin(std::chrono::seconds(10)))
        << "the lock process outlived the agent";
    EXPECT_TRUE(dialogProcess.endsWithin(std::chrono::seconds(10)))
        << "the lock dialog outlived the agent";
    // Only a failed run leaves either: it is not left on this machine.
    lockProcess.kill();
    dialogProcess.kill();
}

}  // namespace
}  // namespace e2e
