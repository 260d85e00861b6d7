/* The settings store: the library's road to the device's registry files, the
   agent's settings and the command and response kept across a reboot. */
#ifndef IXO_REGISTRY_H
#define IXO_REGISTRY_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Registry values are at most this many characters; readers pass buffers of
   IXO_REGISTRY_BUFFER_SIZE bytes. */
#define IXO_REGISTRY_MAX_VALUE 1000
#define IXO_REGISTRY_BUFFER_SIZE 1024

/* Registry access layer. A handle of 0 means the file could not be opened.
   "/tmp/system.conf" has one shared handle: opening it again while it is
   open returns the same handle, and any close of it ends it for everyone. */
IXO_API int p_openReg(const char *path);
/* 0 when the value (or the default, for an absent key) is in value; -1
   otherwise. valueSize is the size of value and must be at least 1000. */
IXO_API int p_regGet(int handle, char *value, const char *section, const char *key,
                     const char *defaultValue, int valueSize);
IXO_API int p_regSet(int handle, const char *section, const char *key, const char *value);
IXO_API int p_regDel(int handle, const char *name);
IXO_API int p_regClose(int handle);
IXO_API int p_CloseAction(int handle);
IXO_API int p_CloseNoAction(int handle);

/* Test mode: the system registries and the test add-on's control file are
   read and written as copies under $HOME/.v6_test_dir, first copied from
   the directory of the agent executable exePath. Once on, it stays on. */
IXO_API void registrySetTestMode(char *exePath);
IXO_API int registryGetTestMode(void);

/* The agent's settings ("IxoSettings" and "lumsettings" of the temporary
   registry). value buffers hold IXO_REGISTRY_BUFFER_SIZE bytes. */
IXO_API int getIxoSetting(const char *name, char *value);
IXO_API int setIxoSetting(const char *name, const char *value);
IXO_API int getLumSetting(const char *name, char *value);

/* The command in progress and the response not yet sent, kept across a
   reboot. A null command or response clears what was saved. A save that
   fails (too long, the registry cannot be written) returns -1 and clears
   the command and response saved before, so that none of them is taken up
   after a reboot; -1 from a null save means that nothing could be cleared.
   The getters hand out a copy that the caller frees, or null with -1 when
   none is saved. */
IXO_API int ixoSaveCommandForReboot(IxoCommand *command);
IXO_API int ixoSaveResponseForReboot(IxoCharBuffer *response);
IXO_API int ixoGetSavedCommand(char **text);
IXO_API int ixoGetSavedResponse(char **text);

/* Small accessors of the agent. */
IXO_API int getPendingCommandXml(const char *name, char *value);
IXO_API int setPendingCommandXml(const char *name, const char *value);
IXO_API int getLogSettings(int *enabled, char *fileName);
IXO_API int getLegacyListenPort(char *port);
IXO_API int getWriteFilterStateFromIxo(void *context, int *state);
IXO_API int setWriteFilterStateFromIxo(void *context, int state);
IXO_API int setAgentVersion(const char *version);
IXO_API int GetCertificatePath(char *path);

IXO_END_DECLS

#endif
