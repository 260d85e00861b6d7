/* Imaging assets: serial number, security key, CMOS, inventory getters, platform identification. */
#ifndef IXO_ASSETS_H
#define IXO_ASSETS_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* The functions of this subsystem are declared here as they are built. */

IXO_END_DECLS

#endif
