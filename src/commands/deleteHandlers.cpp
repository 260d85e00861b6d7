// "deleteFile" and "deleteDirectory": the agent's deletion services, run
// inside the lockout and write-filter brackets.
#define IXO_MODULE "PlatformCommands"

#include <cstdlib>

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "log.h"

namespace {

using DeletionService = char *(*)(const char *path, char **message);

int deletePath(IxoCommand *command, IxoCharBuffer **response, char **errorClass, char **message,
               const char *parameterName, DeletionService deletion) {
    commands::clearOutputs(response, errorClass, message);
    const char *path = commands::requiredParameter(command, parameterName);
    if (path == nullptr) {
        return -1;
    }
    commands::LockoutBracket lockout;
    if (!lockout.open(command, errorClass, message)) {
        return -1;
    }
    char *localMessage = nullptr;
    char *failure;
    {
        commands::WriteFilterBracket filter(path);
        failure = deletion(path, message != nullptr ? message : &localMessage);
    }
    std::free(localMessage);
    if (errorClass != nullptr) {
        *errorClass = failure;
    } else {
        std::free(failure);
    }
    return failure != nullptr ? -1 : 0;
}

}  // namespace

namespace commands {

int deleteFile(IxoCommand *command, IxoCharBuffer **response, char **errorClass, char **message) {
    return deletePath(command, response, errorClass, message, "file", pDeleteFile);
}

int deleteDirectory(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                    char **message) {
    return deletePath(command, response, errorClass, message, "directory", pDeleteDirectory);
}

}  // namespace commands
