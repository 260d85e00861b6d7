// The frame every command handler follows: the optional user lockout around
// the whole command, the write filter lifted around a change to a path, and
// the error outputs handed to the agent.
#pragma once

#include <string>

#include "ixo/agent.h"

namespace commands {

// Stores allocated copies of the error class and message (either may be
// null) in the handler's outputs.
void setFailure(char **errorClass, char **message, const char *errorClassText,
                const char *messageText);

// The handler's outputs, set to null on entry by the handlers that do so.
void clearOutputs(IxoCharBuffer **response, char **errorClass, char **message);

// The parameter's text, or null when the command does not carry it.
const char *parameter(IxoCommand *command, const char *name);
// The same for a parameter the command cannot do without: its absence is
// logged as an error, so that an outcome without a message still has its
// reason in the log.
const char *requiredParameter(IxoCommand *command, const char *name);
// A flag parameter counts as set only when its text is exactly "true".
bool flagParameter(IxoCommand *command, const char *name);

// Raises the lock screen when the command's "lockoutUser" is "true". Once
// open, the bracket ends the lockout when it goes out of scope, whether one
// was begun or not (ending none only logs).
struct LockoutBracket {
    LockoutBracket() = default;
    LockoutBracket(const LockoutBracket &) = delete;
    LockoutBracket &operator=(const LockoutBracket &) = delete;
    ~LockoutBracket();

    // False, with error class "error" and its message stored, when the lock
    // screen could not be started; nothing has been changed then.
    bool open(IxoCommand *command, char **errorClass, char **message);

    bool opened = false;
};

// Lifts the write filter for a path that is not writable now, and restores it
// when it goes out of scope, only if it lifted it.
struct WriteFilterBracket {
    explicit WriteFilterBracket(const char *path);
    WriteFilterBracket(const WriteFilterBracket &) = delete;
    WriteFilterBracket &operator=(const WriteFilterBracket &) = delete;
    ~WriteFilterBracket();

    std::string path;
    bool lifted = false;
};

// The table handed over by the agent; null before initPlatformSpecificCommands.
AgentFunctionTable *agentFunctions();

}  // namespace commands
