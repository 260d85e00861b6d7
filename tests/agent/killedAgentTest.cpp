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

// Whether the process behind a descriptor (which a reused process id can
// never stand in for) ends within ten seconds; it is killed when it does not.
bool endsWithin10s(int pidfd) {
    struct pollfd entry = {pidfd, POLLIN, 0};
    bool ended = pidfd >= 0 && poll(&entry, 1, 10000) == 1;
    syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0);
    close(pidfd);
    return ended;
}

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
    int lockProcess = static_cast<int>(syscall(SYS_pidfd_open, lock, 0));
    int dialogProcess = static_cast<int>(syscall(SYS_pidfd_open, dialog, 0));

    ASSERT_EQ(kill(agentPid, SIGKILL), 0);
    EXPECT_EQ(finishAgent(agentPid).exitCode, -1) << "the agent ended before it was killed";
    EXPECT_GT(dialog, 0) << "the lock screen never came up";
    EXPECT_TRUE(endsWithin10s(lockProcess)) << "the lock process outlived the agent";
    EXPECT_TRUE(endsWithin10s(dialogProcess)) << "the lock dialog outlived the agent";
}

}  // namespace
}  // namespace e2e
