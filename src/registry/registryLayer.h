// Inside the registry layer.
#pragma once

namespace registry {

// The name under which a registry path is really opened: the path itself, or
// its copy under $HOME/.v6_test_dir in test mode; null when test mode is on
// and HOME is unset. Valid until the next call.
const char *convertFilename(const char *path);

}  // namespace registry
