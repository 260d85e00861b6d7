// Reading and writing one key of the agent's sections through the layer.
#pragma once

namespace registry {

extern const char temporaryRegistryPath[];
extern const char persistentRegistryPath[];

// Opens the file, reads section/key into a 1024-byte value (empty default),
// closes it. 0 or -1.
int readSetting(const char *file, const char *section, const char *name, char *value);
// Opens the file, writes section/key, closes it. 0 when the value is
// written, -1 when the file could not be opened or written (the primitives
// log why).
int writeSetting(const char *file, const char *section, const char *name, const char *value);
// writeSetting for key name of "IxoSettings" in the temporary registry, with
// the value logged (passwords in URLs hidden).
int writeIxoSetting(const char *name, const char *value);

}  // namespace registry
