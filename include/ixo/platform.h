/* Platform data collection and configuration, network interface inventory. */
#ifndef IXO_PLATFORM_H
#define IXO_PLATFORM_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* The functions of this subsystem are declared here as they are built. */

IXO_END_DECLS

#endif
