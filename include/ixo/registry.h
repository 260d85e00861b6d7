/* The settings store: registry access layer and agent settings. */
#ifndef IXO_REGISTRY_H
#define IXO_REGISTRY_H

#include "ixo/agent.h"
#include "ixo/export.h"

IXO_BEGIN_DECLS

/* The functions of this subsystem are declared here as they are built. */

IXO_END_DECLS

#endif
