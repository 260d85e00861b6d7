#include "agent/waitStatus.h"

#include <sys/wait.h>


namespace agent {

WaitStatus decodeWaitStatus(long long status) {
    WaitStatus meaning;
    if (status < 0 || status > 0xffff) {
        return meaning;
    }
    int raw = static_cast<int>(status);
    if (WIFEXITED(raw)) {
        meaning.exitStatus = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        meaning.signal = WTERMSIG(raw);
        meaning.coreDumped = WCOREDUMP(raw);
    }
    return meaning;
}

std::string explainWaitStatus(long long status) {
    if (status == -1) {
        return "the shell could not be started";
    }
    WaitStatus meaning = decodeWaitStatus(status);
    if (meaning.exitStatus) {
        return "exit status " + std::to_string(*meaning.exitStatus);
    }
    if (meaning.signal) {
        return "killed by signal " + std::to_string(*meaning.signal) +
               (meaning.coreDumped ? ", core dumped" : "");
    }
    return "not a wait status";
}

}  // namespace agent
