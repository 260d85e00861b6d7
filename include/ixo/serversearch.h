/* Server search helpers: the device's DNS domain. */
#ifndef IXO_SERVERSEARCH_H
#define IXO_SERVERSEARCH_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* The functions of this subsystem are declared here as they are built. */

IXO_END_DECLS

#endif
