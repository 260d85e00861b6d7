/* The whole exported interface of libIxoPlatformOs. */
#ifndef IXO_IXO_H
#define IXO_IXO_H

#include "ixo/agent.h"
#include "ixo/assets.h"
#include "ixo/commands.h"
#include "ixo/eeprom.h"
#include "ixo/guards.h"
#include "ixo/platform.h"
#include "ixo/platform_data.h"
#include "ixo/registry.h"
#include "ixo/seams.h"
#include "ixo/serversearch.h"

IXO_BEGIN_DECLS

/* The library's version ("1.0.0"), for programs that load it by name and
   must say which one they got. */
IXO_API const char *ixoLibraryVersion(void);

IXO_END_DECLS

#endif
