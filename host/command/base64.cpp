// Base64 encoding and decoding.
#include "host/command/base64.h"

#include <utility>

namespace agent::detail {

namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digitValue(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string base64Encode(const std::string &bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                         static_cast<unsigned char>(bytes[i + 1]) << 8 |
                         static_cast<unsigned char>(bytes[i + 2]);
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += alphabet[group >> 6 & 63];
        text += alphabet[group & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += rest == 2 ? alphabet[group >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

bool base64Decode(const std::string &text, std::string *bytes) {
    std::string digits;
    for (char c : text) {
        if (!isSpace(c)) {
            digits += c;
        }
    }
    if (digits.size() % 4 != 0) {
        return false;
    }
    std::string decoded;
    decoded.reserve(digits.size() / 4 * 3);
    for (size_t i = 0; i < digits.size(); i += 4) {
        bool lastGroup = i + 4 == digits.size();
        int padding = 0;
        if (lastGroup && digits[i + 3] == '=') {
            padding = digits[i + 2] == '=' ? 2 : 1;
        }
        unsigned group = 0;
        for (int j = 0; j < 4; ++j) {
            int value = j >= 4 - padding ? 0 : digitValue(digits[i + j]);
            if (value < 0) {
                return false;
            }
            group = group << 6 | static_cast<unsigned>(value);
        }
        decoded += static_cast<char>(group >> 16 & 0xFF);
        if (padding < 2) {
            decoded += static_cast<char>(group >> 8 & 0xFF);
        }
        if (padding < 1) {
            decoded += static_cast<char>(group & 0xFF);
        }
    }
    *bytes = std::move(decoded);
    return true;
}

}  // namespace agent::detail
