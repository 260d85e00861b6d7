// Files named on ixoAgent's command line (a CMOS block, a password): they
// must be regular files, read whole, or be refused with their name and the
// reason before anything runs.
#pragma once

#include <cstddef>
#include <string>

namespace agent {

// The content of the regular file at path, at most maxSize bytes. False with
// "PATH: reason" (a directory, a FIFO, a file too large, a failed read).
bool readArgumentFile(const std::string &path, size_t maxSize, std::string *content,
                      std::string *error);

}  // namespace agent
