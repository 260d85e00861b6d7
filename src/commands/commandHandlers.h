// The handlers of the command table, each with the contract of
// CommandHandlerFn: 0 on success, -1 with an allocated error class (and
// perhaps a message) on failure.
#pragma once

#include "ixo/agent.h"

namespace commands {

int deleteFile(IxoCommand *command, IxoCharBuffer **response, char **errorClass, char **message);
int deleteDirectory(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                    char **message);

}  // namespace commands
