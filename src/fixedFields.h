// The fixed-size text fields of the exported records: what goes into one is
// cut to fit and always terminated, so a reader in C never runs past it.
#pragma once

#include <cstddef>
#include <cstring>

namespace fields {

// Copies text (null: empty) into a field of size bytes.
inline void copyText(char *field, size_t size, const char *text) {
    if (field == nullptr || size == 0) {
        return;
    }
    size_t length = text != nullptr ? ::strnlen(text, size - 1) : 0;
    if (length > 0) {
        std::memcpy(field, text, length);
    }
    field[length] = '\0';
}

}  // namespace fields
