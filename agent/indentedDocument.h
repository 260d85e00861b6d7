// Readable XML documents for ixoAgent's reports (network, inventory), built
// with the agent's own element helpers so that every text is escaped.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "ixo/platform_data.h"

namespace agent {

// How a record's fixed-size text field is shown in a report.
using FieldView = std::string (*)(const char *field);
// The field's text up to its NUL (or the end of the field).
std::string fieldText(const char *field);

struct IndentedDocument {
    CharBufferPtr buffer{createCharBuffer()};
    bool ok = buffer != nullptr;

    void raw(const std::string &text);
    void text(int depth, const char *name, const std::string &value);
    void number(int depth, const char *name, uint32_t value);
    void open(int depth, const char *name);
    void close(int depth, const char *name);
    // A list element with one child per entry; every entry begins with its text.
    template <typename Entry>
    void list(int depth, const char *name, const char *entryName, const Entry *first,
              FieldView view) {
        if (first == nullptr) {
            return;
        }
        open(depth, name);
        for (const Entry *entry = first; entry != nullptr; entry = entry->next) {
            text(depth + 1, entryName, view(reinterpret_cast<const char *>(entry)));
        }
        close(depth, name);
    }
};

// One <networkInterface> element with every field the library fills.
void addInterfaceElement(IndentedDocument &document, int depth, const std::string &section,
                         const NetworkInterface &net, FieldView view);

}  // namespace agent
