#include "ixo/ixo.h"

extern "C" IXO_API const char *ixoLibraryVersion(void) { return IXO_LIBRARY_VERSION; }
