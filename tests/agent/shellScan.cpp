#include "tests/agent/shellScan.h"

#include <cstring>

namespace e2e {

const char kTaintBegin[] = "IXOTAINT";
const char kTaintEnd[] = "IXOEND";
const char kInjectedName[] = "ixo-injected";

std::string tainted(const std::string &middle) { return kTaintBegin + middle + kTaintEnd; }

std::string tainted() {
    std::string file = kInjectedName;
    return tainted("'\";touch " + file + ";$(touch " + file + ")`touch " + file + "`|cat>" +
                   file + " *\\");
}

std::string taintedUrlText() {
    std::string file = kInjectedName;
    return tainted("';touch$IFS" + file + ";$(touch$IFS" + file + ")&*");
}

namespace {

// Characters a shell never acts on outside quotes.
bool plainCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("_-./,:@%+=", c) != nullptr;
}

bool operatorCharacter(char c) { return std::strchr(";&|<>()\n", c) != nullptr; }

// One word of a shell line after quote removal, with, for each character,
// whether the shell takes it literally (quoted, escaped, or plain text)
// rather than acting on it.
struct ShellWord {
    std::string text;
    std::vector<bool> literal;
};

// Splits a line into words as sh does; operators (; & | < > ( ) and line
// breaks) end words and are words of their own, never literal. False with
// the reason when a quote is left open.
bool splitShellLine(const std::string &line, std::vector<ShellWord> *words, std::string *error) {
    words->clear();
    // An empty quoted word ('') is still a word.
    ShellWord current;
    bool open = false;
    auto add = [&](char c, bool literal) {
        current.text.push_back(c);
        current.literal.push_back(literal);
        open = true;
    };
    auto end = [&] {
        if (open) {
            words->push_back(current);
        }
        current = ShellWord();
        open = false;
    };
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t') {
            end();
            ++i;
        } else if (operatorCharacter(c)) {
            end();
            add(c, false);
            end();
            ++i;
        } else if (c == '\\') {
            if (i + 1 < line.size() && line[i + 1] != '\n') {
                add(line[i + 1], true);
            }
            i += 2;
        } else if (c == '\'') {
            size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                *error = "single quote at " + std::to_string(i) + " is never closed";
                return false;
            }
            open = true;
            for (size_t k = i + 1; k < close; ++k) {
                add(line[k], true);
            }
            i = close + 1;
        } else if (c == '"') {
            open = true;
            size_t k = i + 1;
            for (; k < line.size() && line[k] != '"'; ++k) {
                if (line[k] == '\\' && k + 1 < line.size() &&
                    std::strchr("$`\"\\\n", line[k + 1]) != nullptr) {
                    if (line[k + 1] != '\n') {
                        add(line[k + 1], true);
                    }
                    ++k;
                } else {
                    // Expansions stay active inside double quotes.
                    add(line[k], line[k] != '$' && line[k] != '`');
                }
            }
            if (k >= line.size()) {
                *error = "double quote at " + std::to_string(i) + " is never closed";
                return false;
            }
            i = k + 1;
        } else {
            add(c, plainCharacter(c));
            ++i;
        }
    }
    end();
    return true;
}

bool nestedShell(const std::string &program) {
    std::string name = program.substr(program.rfind('/') + 1);
    return name == "su" || name == "sh" || name == "bash";
}

void scan(const std::string &line, const std::string &where, std::vector<std::string> *findings) {
    std::vector<ShellWord> words;
    std::string error;
    if (!splitShellLine(line, &words, &error)) {
        if (line.find(kTaintBegin) != std::string::npos) {
            findings->push_back(where + error + ": " + line);
        }
        return;
    }
    size_t beginLength = std::strlen(kTaintBegin);
    size_t endLength = std::strlen(kTaintEnd);
    for (size_t w = 0; w < words.size(); ++w) {
        const ShellWord &word = words[w];
        for (size_t at = word.text.find(kTaintBegin); at != std::string::npos;
             at = word.text.find(kTaintBegin, at + beginLength)) {
            size_t end = word.text.find(kTaintEnd, at + beginLength);
            if (end == std::string::npos) {
                findings->push_back(where + "tainted text split or cut in word '" + word.text +
                                    "': " + line);
                continue;
            }
            for (size_t k = at; k < end + endLength; ++k) {
                if (!word.literal[k]) {
                    findings->push_back(where + "the shell acts on '" +
                                        std::string(1, word.text[k]) + "' of tainted text in '" +
                                        word.text + "': " + line);
                    break;
                }
            }
        }
        if (word.text == "-c" && w > 0 && w + 1 < words.size() && nestedShell(words[w - 1].text)) {
            scan(words[w + 1].text, where + "in the line given to " + words[w - 1].text + ": ",
                 findings);
        }
    }
}

}  // namespace

std::vector<std::string> unsafeTaint(const std::string &line) {
    std::vector<std::string> findings;
    scan(line, "", &findings);
    return findings;
}

}  // namespace e2e
