// Char buffers: growable byte strings handed between the agent and the library.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/command/charBufferData.h"
#include "host/host.h"

namespace agent::detail {

bool appendToBuffer(IxoCharBuffer *buffer, const char *bytes, size_t length) {
    if (buffer == nullptr) {
        return false;
    }
    if (length > static_cast<size_t>(INT_MAX) - buffer->bytes.size()) {
        return false;
    }
    try {
        buffer->bytes.append(bytes, length);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

}  // namespace agent::detail

extern "C" IxoCharBuffer *createCharBuffer(void) { return new (std::nothrow) IxoCharBuffer(); }

extern "C" int addDataToCharBuffer(IxoCharBuffer *buffer, const char *bytes, int length) {
    if (buffer == nullptr || length < 0 || (bytes == nullptr && length > 0)) {
        return -1;
    }
    if (length == 0) {
        return 0;
    }
    return agent::detail::appendToBuffer(buffer, bytes, static_cast<size_t>(length)) ? 0 : -1;
}

extern "C" char *charBufferToChar(IxoCharBuffer *buffer) {
    if (buffer == nullptr) {
        return nullptr;
    }
    size_t length = buffer->bytes.size();
    char *copy = static_cast<char *>(std::malloc(length + 1));
    if (copy == nullptr) {
        return nullptr;
    }
    std::memcpy(copy, buffer->bytes.data(), length);
    copy[length] = '\0';
    return copy;
}

// -1 for a null buffer, so that a caller looping "while offset < total"
// reads nothing.
extern "C" int getTotalBufferLength(IxoCharBuffer *buffer) {
    return buffer == nullptr ? -1 : static_cast<int>(buffer->bytes.size());
}

extern "C" int getDataFromCharBuffer(IxoCharBuffer *buffer, char *destination, int maximum,
                                     int offset) {
    if (buffer == nullptr || destination == nullptr || maximum < 0 || offset < 0) {
        return -1;
    }
    size_t start = static_cast<size_t>(offset);
    if (start >= buffer->bytes.size()) {
        return 0;
    }
    size_t count = buffer->bytes.size() - start;
    if (count > static_cast<size_t>(maximum)) {
        count = static_cast<size_t>(maximum);
    }
    std::memcpy(destination, buffer->bytes.data() + start, count);
    return static_cast<int>(count);
}

extern "C" void freeAllCharBuffers(IxoCharBuffer *buffer) { delete buffer; }

extern "C" void removeNewLines(char *text) {
    if (text == nullptr) {
        return;
    }
    char *out = text;
    for (const char *in = text; *in != '\0'; ++in) {
        if (*in != '\n' && *in != '\r') {
            *out++ = *in;
        }
    }
    *out = '\0';
}

namespace agent {

std::string charBufferString(IxoCharBuffer *buffer) {
    return buffer == nullptr ? std::string() : buffer->bytes;
}

}  // namespace agent
