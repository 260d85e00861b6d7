// Used by the test main only.
#pragma once

#include <string>

namespace support {

void installSafeSeams();
void removeRunDirectory();
const std::string &runDirectory();
const std::string &safeRoot();
const std::string &logPath();

}  // namespace support
