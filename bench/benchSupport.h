// Shared by the benchmarks: main() points every seam at a temporary device
// root before any benchmark runs, so nothing of this machine is touched.
#pragma once

#include <string>

namespace bench {

// The temporary device root (removed when the benchmarks end).
const std::string &deviceRoot();
// The command runner outside a simulated device: every line fails to start.
int refuseCommands(const char *commandLine);
// Writes a file under the device root, creating its directories.
bool writeDeviceFile(const std::string &devicePath, const std::string &content);

}  // namespace bench
