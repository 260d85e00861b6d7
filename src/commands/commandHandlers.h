// The handlers of the command table, each with the contract of
// CommandHandlerFn: 0 on success, -1 with an allocated error class (and
// perhaps a message) on failure.
#pragma once

#include "ixo/agent.h"

namespace commands {

int downloadFileFromServer(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                           char **message);
int installOnDevice(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                    char **message);
int deleteFile(IxoCommand *command, IxoCharBuffer **response, char **errorClass, char **message);
int deleteDirectory(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                    char **message);
int executeCommand(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                   char **message);
int uninstallFromDevice(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                        char **message);
int handleIxoSetConfiguration(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                              char **message);

// A new char buffer with the whole content of the device file, or null when
// it cannot be read.
IxoCharBuffer *readFileToCharBuffer(const char *path);
// A copy of the label without the characters the shell would still act on
// inside double quotes, for the caller to free; null for null.
char *labelEscape(const char *label);

}  // namespace commands
