/* The three device seams: where the library meets the device's files,
   programs and I/O ports. Unset, each one is the real device. */
#ifndef IXO_SEAMS_H
#define IXO_SEAMS_H

#include <stdint.h>

#include "ixo/export.h"

IXO_BEGIN_DECLS

/* Every device path that the library opens, renames, removes or executes itself
   is looked up under this root. NULL or "" (the default) means the real device. */
IXO_API void ixoSetDeviceRoot(const char *root);
IXO_API const char *ixoGetDeviceRoot(void);

/* Every device command line goes through this runner. It returns what system(3)
   returns for the line. NULL (the default) means system(3). */
typedef int (*IxoCommandRunner)(const char *commandLine);
IXO_API void ixoSetCommandRunner(IxoCommandRunner runner);

/* iopl and x86 port I/O. NULL (the default) means the real instructions. */
typedef struct IxoPortIo {
    int      (*iopl)(int level);
    uint8_t  (*in8)(uint16_t port);
    uint16_t (*in16)(uint16_t port);
    uint32_t (*in32)(uint16_t port);
    void     (*out8)(uint16_t port, uint8_t value);
    void     (*out16)(uint16_t port, uint16_t value);
    void     (*out32)(uint16_t port, uint32_t value);
} IxoPortIo;
IXO_API void ixoSetPortIo(const IxoPortIo *io);

IXO_END_DECLS

#endif
