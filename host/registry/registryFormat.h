// The registry file's text format, in memory: parsing, lookups, edits and
// serialising. No file access here.
//
// A file is a sequence of lines:
//   - blank lines and comments (first non-blank character '#' or ';') are
//     kept exactly as they are;
//   - "[name]" starts a section; blanks around the brackets are ignored, the
//     name between them is taken exactly; it is never empty and holds no ']';
//   - "key=value" belongs to the section above it: the key is everything up to
//     the first '=' after the line's leading blanks, the value everything after
//     it up to the line end, both exactly (no trimming);
//   - a key line before the first section, or any other line, makes the file
//     invalid.
// CRs before the LF (or the end of the file) are dropped on reading; lines are
// written with LF only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace agent::registry {

// The library's buffers hold a value and its NUL in 1001 bytes.
constexpr size_t kMaxValueLength = 1000;

enum class LineKind { Other, Section, Key };

struct Line {
    LineKind kind = LineKind::Other;
    std::string text;       // the line as read, without its line ending
    std::string name;       // section or key name
    size_t valueStart = 0;  // for a key: where its value begins in text

    std::string value() const { return text.substr(valueStart); }
};

struct Document {
    std::vector<Line> lines;
};

struct ParseError {
    size_t line = 0;  // 1-based
    std::string reason;
};

bool parseDocument(const std::string &content, Document *document, ParseError *error);
std::string serialiseDocument(const Document &document);

// Whether the document has a section of that name.
bool hasSection(const Document &document, const std::string &section);
// The first line for key in any section called section, or null.
const Line *findKey(const Document &document, const std::string &section, const std::string &key);
// Replaces the value of the first such key; a new key goes after the last key
// of the first section of that name, a new section at the end of the file.
// False when the document already held exactly that value.
bool setValue(Document *document, const std::string &section, const std::string &key,
              const std::string &value);
// Removes every section of that name: its header and every line up to the
// next section. False when there was none.
bool removeSection(Document *document, const std::string &section);

// Whether a name or value can be written so that it reads back exactly;
// otherwise false with the reason.
bool validSectionName(const char *section, std::string *reason);
bool validKeyName(const char *key, std::string *reason);
bool validValue(const char *value, std::string *reason);

}  // namespace agent::registry
