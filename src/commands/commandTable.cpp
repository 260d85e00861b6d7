// The commands this platform carries out, looked up by name by the agent,
// and the constant platform hooks.
#define IXO_MODULE "PlatformCommands"

#include "commands/commandHandlers.h"
#include "commands/handlerFrame.h"
#include "ixo/commands.h"

namespace {
AgentFunctionTable *storedAgentFunctions = nullptr;
}  // namespace

extern "C" {

// Ends with an empty name and a null handler, so either test finds the end.
IXO_API PlatformCommandHandler platformCommandHandlerList[] = {
    {"downloadFileFromServer", commands::downloadFileFromServer},
    {"installOnDevice", commands::installOnDevice},
    {"executeOnDevice", commands::executeCommand},
    {"deleteFile", commands::deleteFile},
    {"deleteDirectory", commands::deleteDirectory},
    {"queryUser", queryUser},
    {"uninstallFromDevice", commands::uninstallFromDevice},
    {"uninstall", commands::uninstallFromDevice},
    {"setConfiguration", commands::handleIxoSetConfiguration},
    {"", nullptr},
};

IXO_API PlatformCommandHandler *getPlatformCommandHandlers(void) {
    return platformCommandHandlerList;
}

IXO_API void initPlatformSpecificCommands(AgentFunctionTable *table) {
    storedAgentFunctions = table;
}

IXO_API int isSendResultPending(void) { return -1; }

IXO_API int isRebootRequired(void) { return -1; }

// Nothing to undo on this platform: the write filter is restored by each
// command that lifted it.
IXO_API void revertFileSystemState(void) {}

}  // extern "C"

namespace commands {

AgentFunctionTable *agentFunctions() { return storedAgentFunctions; }

}  // namespace commands
