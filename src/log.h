// Logging through the agent's logger. Each source file names its module
// before including this header:
//   #define IXO_MODULE "PlatformCommands"
#pragma once

#include "ixo/agent.h"

// Levels: 1 errors, 2 and 3 notices and progress, 4 the finest trace.
#define IXO_LOG(level, ...) ixoLogger(IXO_MODULE, __func__, __LINE__, (level), __VA_ARGS__)
#define IXO_ERROR 1
#define IXO_NOTICE 2
#define IXO_PROGRESS 3
#define IXO_TRACE 4
