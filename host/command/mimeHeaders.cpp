// Header lookup in a MIME part's header block.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "ixo/agent.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// Lines are "Name: value", ended by LF or CRLF; names compare without regard
// to case, as in HTTP, and must match whole. Blanks around the value and
// before the name (indented header blocks in command files) do not count.
// Returns a malloc'd copy of the first matching value, which the caller
// frees; null when absent, for null arguments, or when memory runs out.
extern "C" char *httpPayloadGetHeader(const char *headerBlock, const char *name) {
    if (headerBlock == nullptr || name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    size_t nameLength = std::strlen(name);
    const char *line = headerBlock;
    while (*line != '\0') {
        const char *end = std::strchr(line, '\n');
        if (end == nullptr) {
            end = line + std::strlen(line);
        }
        const char *start = line;
        while (start < end && isBlank(*start)) {
            ++start;
        }
        const char *colon = static_cast<const char *>(std::memchr(start, ':', end - start));
        if (colon != nullptr) {
            const char *nameEnd = colon;
            while (nameEnd > start && isBlank(nameEnd[-1])) {
                --nameEnd;
            }
            if (static_cast<size_t>(nameEnd - start) == nameLength &&
                strncasecmp(start, name, nameLength) == 0) {
                const char *value = colon + 1;
                const char *valueEnd = end;
                while (value < valueEnd && isBlank(*value)) {
                    ++value;
                }
                while (valueEnd > value && (isBlank(valueEnd[-1]) || valueEnd[-1] == '\r')) {
                    --valueEnd;
                }
                return strndup(value, static_cast<size_t>(valueEnd - value));
            }
        }
        line = *end == '\n' ? end + 1 : end;
    }
    return nullptr;
}
