/* The management command table, the handler contract and the reboot hooks. */
#ifndef IXO_COMMANDS_H
#define IXO_COMMANDS_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Ends with an entry whose name is "" and whose handler is NULL. */
IXO_API extern PlatformCommandHandler platformCommandHandlerList[];

IXO_API PlatformCommandHandler *getPlatformCommandHandlers(void);
IXO_API void initPlatformSpecificCommands(AgentFunctionTable *table);
IXO_API int isSendResultPending(void);
IXO_API int isRebootRequired(void);
IXO_API void revertFileSystemState(void);

/* The "queryUser" command's handler, also exported under its own name. */
IXO_API int queryUser(IxoCommand *command, IxoCharBuffer **response, char **errorClass,
                      char **message);

/* mode 1 reboots, mode 2 powers off; -1 for any other mode. */
IXO_API int pDeviceReboot(int mode);
IXO_API int doRebootAfterCommit(void);

IXO_END_DECLS

#endif
