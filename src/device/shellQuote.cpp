#include <cstring>

#include "device/device.h"

namespace device {

std::string shellQuote(const std::string &text) {
    static const char plain[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./:@%+,=-";
    bool needsQuotes = text.empty();
    for (char c : text) {
        if (c == '\0' || std::strchr(plain, c) == nullptr) {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes) {
        return text;
    }
    // Inside single quotes nothing is special but the quote itself, which is
    // closed, escaped and reopened.
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += "'";
    return quoted;
}

std::string sudoSuLine(const std::string &innerLine) {
    std::string line = "sudo su -c \"";
    for (char c : innerLine) {
        if (c == '\\' || c == '"' || c == '$' || c == '`') {
            line += '\\';
        }
        line += c;
    }
    line += '"';
    return line;
}

}  // namespace device
