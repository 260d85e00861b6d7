// Parsing and editing registry text (format in registryFormat.h).
#include "host/registry/registryFormat.h"

#include <cstring>

namespace agent::registry {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

size_t firstNonBlank(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return i;
}

// Classifies one line (line ending already removed); false with a reason when
// it is none of the kinds a registry may hold.
bool parseLine(const std::string &text, Line *line, std::string *reason) {
    line->text = text;
    size_t start = firstNonBlank(text);
    if (start == text.size() || text[start] == '#' || text[start] == ';') {
        line->kind = LineKind::Other;
        return true;
    }
    if (text[start] == '[') {
        size_t end = text.size();
        while (end > start && isBlank(text[end - 1])) {
            --end;
        }
        if (text[end - 1] != ']') {
            *reason = "a section header must end with ']'";
            return false;
        }
        std::string name = text.substr(start + 1, end - start - 2);
        if (name.empty()) {
            *reason = "empty section name";
            return false;
        }
        if (name.find(']') != std::string::npos) {
            *reason = "section name holds ']'";
            return false;
        }
        line->kind = LineKind::Section;
        line->name = name;
        return true;
    }
    size_t equals = text.find('=', start);
    if (equals == std::string::npos) {
        *reason = "expected '[section]', 'key=value' or a comment";
        return false;
    }
    if (equals == start) {
        *reason = "empty key name";
        return false;
    }
    line->kind = LineKind::Key;
    line->name = text.substr(start, equals - start);
    line->valueStart = equals + 1;
    return true;
}

// Index of the header of the first section called name, or lines.size().
size_t findSection(const Document &document, const std::string &name) {
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const Line &line = document.lines[i];
        if (line.kind == LineKind::Section && line.name == name) {
            return i;
        }
    }
    return document.lines.size();
}

// Index of the first line for key in any section called section, or lines.size().
size_t findKeyIndex(const Document &document, const std::string &section, const std::string &key) {
    bool inside = false;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const Line &line = document.lines[i];
        if (line.kind == LineKind::Section) {
            inside = line.name == section;
        } else if (inside && line.kind == LineKind::Key && line.name == key) {
            return i;
        }
    }
    return document.lines.size();
}

Line makeLine(LineKind kind, const std::string &name, const std::string &text) {
    Line line;
    line.kind = kind;
    line.name = name;
    line.text = text;
    line.valueStart = kind == LineKind::Key ? name.size() + 1 : 0;
    return line;
}

}  // namespace

bool parseDocument(const std::string &content, Document *document, ParseError *error) {
    document->lines.clear();
    bool inSection = false;
    size_t number = 0;
    size_t start = 0;
    while (start < content.size()) {
        ++number;
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string text = content.substr(start, end - start);
        start = end + 1;
        // Every CR before the line end goes: one kept in a value would lose
        // one more CR at every save of the file, and no value can hold one.
        while (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        // NUL bytes are what a power loss leaves in a file written in place.
        if (text.find('\0') != std::string::npos) {
            *error = {number, "holds a NUL byte"};
            return false;
        }
        Line line;
        std::string reason;
        if (!parseLine(text, &line, &reason)) {
            *error = {number, reason};
            return false;
        }
        if (line.kind == LineKind::Key && !inSection) {
            *error = {number, "key '" + line.name + "' before the first section"};
            return false;
        }
        inSection = inSection || line.kind == LineKind::Section;
        document->lines.push_back(std::move(line));
    }
    return true;
}

std::string serialiseDocument(const Document &document) {
    std::string content;
    for (const Line &line : document.lines) {
        content += line.text;
        content += '\n';
    }
    return content;
}

bool hasSection(const Document &document, const std::string &section) {
    return findSection(document, section) < document.lines.size();
}

const Line *findKey(const Document &document, const std::string &section, const std::string &key) {
    size_t index = findKeyIndex(document, section, key);
    return index < document.lines.size() ? &document.lines[index] : nullptr;
}

bool setValue(Document *document, const std::string &section, const std::string &key,
              const std::string &value) {
    std::vector<Line> &lines = document->lines;
    size_t found = findKeyIndex(*document, section, key);
    if (found < lines.size()) {
        Line &line = lines[found];
        if (line.value() == value) {
            return false;
        }
        // Keeps the line's indentation and key exactly as they were.
        line.text = line.text.substr(0, line.valueStart) + value;
        return true;
    }
    Line keyLine = makeLine(LineKind::Key, key, key + "=" + value);
    size_t header = findSection(*document, section);
    if (header == lines.size()) {
        lines.push_back(makeLine(LineKind::Section, section, "[" + section + "]"));
        lines.push_back(std::move(keyLine));
        return true;
    }
    // After the section's last key, so that comments and blank lines that end
    // the section (usually about the next one) stay where they are.
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < lines.size() && lines[i].kind != LineKind::Section; ++i) {
        if (lines[i].kind == LineKind::Key) {
            insertAt = i + 1;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(keyLine));
    return true;
}

bool removeSection(Document *document, const std::string &section) {
    std::vector<Line> kept;
    bool removing = false;
    bool removed = false;
    for (Line &line : document->lines) {
        if (line.kind == LineKind::Section) {
            removing = line.name == section;
            removed = removed || removing;
        }
        if (!removing) {
            kept.push_back(std::move(line));
        }
    }
    document->lines = std::move(kept);
    return removed;
}

bool validSectionName(const char *section, std::string *reason) {
    if (section == nullptr || section[0] == '\0') {
        *reason = "section name is null or empty";
        return false;
    }
    if (std::strpbrk(section, "]\n\r") != nullptr) {
        *reason = "section name holds ']' or a line break";
        return false;
    }
    return true;
}

bool validKeyName(const char *key, std::string *reason) {
    if (key == nullptr || key[0] == '\0') {
        *reason = "key name is null or empty";
        return false;
    }
    if (std::strpbrk(key, "=\n\r") != nullptr) {
        *reason = "key name holds '=' or a line break";
        return false;
    }
    // Such a line would read back as a section, a comment or an indented key.
    if (std::strchr("[#; \t", key[0]) != nullptr) {
        *reason = "key name begins with '[', '#', ';' or a blank";
        return false;
    }
    return true;
}

bool validValue(const char *value, std::string *reason) {
    if (value == nullptr) {
        *reason = "value is null";
        return false;
    }
    size_t length = std::strlen(value);
    if (length > kMaxValueLength) {
        *reason = "value of " + std::to_string(length) + " characters (at most " +
                  std::to_string(kMaxValueLength) + ")";
        return false;
    }
    if (std::strpbrk(value, "\n\r") != nullptr) {
        *reason = "value holds a line break";
        return false;
    }
    return true;
}

}  // namespace agent::registry
