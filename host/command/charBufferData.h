// The agent's char buffer: a growable byte string. The library only holds
// pointers to it; the agent's functions are the only ones that look inside.
#pragma once

#include <string>

#include "ixo/agent.h"

struct IxoCharBuffer {
    std::string bytes;
};

namespace agent::detail {

// Appends to the buffer while keeping its length representable as an int,
// which is how the library measures and reads buffers. False when the
// result would be too long or memory runs out.
bool appendToBuffer(IxoCharBuffer *buffer, const char *bytes, size_t length);

}  // namespace agent::detail
