// The agent's side of the configuration record: the builders and the
// release (C functions in include/ixo/agent.h) and what the agent's own code
// and tests use beside them.
#pragma once

#include "ixo/agent.h"

namespace agent {

// Appends a zero-filled asset tag at the end of the record's list; null when
// none could be made. (The library reads tags, it never adds them.)
AssetTagEntry *addAssetTag(PlatformData *data);

// Makes the next release of a record (freePlatformData) report failure after
// freeing it all the same, as a release that met a damaged record does:
// tests check that the library goes on.
void failNextPlatformDataRelease();

}  // namespace agent
