// Writing text into XML documents so that they stay well-formed whatever
// bytes the text holds.
#pragma once

#include <cstddef>
#include <string>

namespace agent::detail {

enum class LineBreaks {
    Keep,          // line feeds and tabs written as they are (readable result documents)
    AsReferences,  // line feeds and tabs as character references: the document
                   // survives having its line breaks stripped
};

// Appends the bytes as XML character data (also fit for a quoted attribute
// value). Markup characters are escaped; a carriage return always becomes
// &#13; so that a parser does not fold it. Bytes XML 1.0 cannot carry
// (control characters, invalid UTF-8, U+FFFE and U+FFFF) become U+FFFD.
void appendEscapedText(std::string &out, const char *bytes, size_t length, LineBreaks lineBreaks);

// A simple element name: an ASCII letter or '_' followed by ASCII letters,
// digits, '_', '-' or '.'. No prefixes: the agent writes no namespaces.
bool isSimpleXmlName(const char *name);

}  // namespace agent::detail
