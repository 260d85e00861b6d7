// What a raw wait status means. executeOnDevice's commandExitCode and
// queryUser's seconds carry the value system(3) returned, not an exit code:
// 768 is exit status 3, 9 a process killed by SIGKILL.
#pragma once

#include <optional>
#include <string>

namespace agent {

struct WaitStatus {
    std::optional<int> exitStatus;  // the process ended with this exit status
    std::optional<int> signal;      // or it was killed by this signal
    bool coreDumped = false;
};

// Neither field is set for a value no ended process gives: -1 (system(3)
// could not start the shell), a stopped process, a value out of range.
WaitStatus decodeWaitStatus(long long status);

// "exit status 3", "killed by signal 9", "killed by signal 11, core dumped",
// "the shell could not be started" (-1) or "not a wait status".
std::string explainWaitStatus(long long status);

}  // namespace agent
