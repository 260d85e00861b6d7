/* Device guards: the root file system's write filter and the user lockout. */
#ifndef IXO_GUARDS_H
#define IXO_GUARDS_H

#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Write filter. Only "/" carries it; "/temp" and "/home" are known mounts. */
IXO_API int ixoIsWritable(const char *path);
IXO_API int hasWriteFilter(const char *path);
IXO_API int makeWritable(const char *path);
IXO_API int makeWriteProtected(const char *path);
IXO_API int ixoMakeWritable(const char *path, char **message);
IXO_API int ixoMakeReadOnly(const char *path, char **message);
IXO_API int ixoGetWriteFilterStatus(const char *path, int *hasFilter, int *readOnly, char **message);
IXO_API int ixoInitWriteFilterFunctions(void);

/* User lockout: one lock screen at a time, shown by the device's lockdlg. */
IXO_API int beginUserLockoutDialog(void);
IXO_API int endUserLockoutDialog(void);
IXO_API int userLockedOut(void);
IXO_API void showLock(void);
IXO_API void sigHandler(int signal);

IXO_END_DECLS

#endif
