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

#endif
