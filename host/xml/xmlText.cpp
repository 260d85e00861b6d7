// XML text escaping and element-name checks.
#include "host/xml/xmlText.h"

namespace agent::detail {

namespace {

const char replacementCharacter[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence starting at bytes[0] (2 to 4), or,
// for an invalid one, minus the number of bytes that form its maximal invalid
// prefix, each replaced as one unit.
long sequenceLength(const unsigned char *bytes, size_t available) {
    unsigned char lead = bytes[0];
    size_t length;
    unsigned char secondLow = 0x80;
    unsigned char secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondLow = 0xA0;  // shorter forms are overlong
        } else if (lead == 0xED) {
            secondHigh = 0x9F;  // above are the UTF-16 surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondLow = 0x90;
        } else if (lead == 0xF4) {
            secondHigh = 0x8F;  // beyond U+10FFFF
        }
    } else {
        return -1;
    }
    for (size_t i = 1; i < length; ++i) {
        if (i >= available) {
            return -static_cast<long>(i);
        }
        unsigned char byte = bytes[i];
        bool inRange = i == 1 ? (byte >= secondLow && byte <= secondHigh) : isContinuation(byte);
        if (!inRange) {
            return -static_cast<long>(i);
        }
    }
    return static_cast<long>(length);
}

}  // namespace

void appendEscapedText(std::string &out, const char *text, size_t length, LineBreaks lineBreaks) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    while (i < length) {
        unsigned char byte = bytes[i];
        if (byte < 0x80) {
            switch (byte) {
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '&': out += "&amp;"; break;
                case '"': out += "&quot;"; break;
                case '\r': out += "&#13;"; break;
                case '\n': out += lineBreaks == LineBreaks::Keep ? "\n" : "&#10;"; break;
                case '\t': out += lineBreaks == LineBreaks::Keep ? "\t" : "&#9;"; break;
                default:
                    if (byte < 0x20) {
                        out += replacementCharacter;
                    } else {
                        out += static_cast<char>(byte);
                    }
            }
            ++i;
            continue;
        }
        long sequence = sequenceLength(bytes + i, length - i);
        if (sequence < 0) {
            out += replacementCharacter;
            i += static_cast<size_t>(-sequence);
            continue;
        }
        // U+FFFE and U+FFFF are outside XML's character range.
        if (sequence == 3 && byte == 0xEF && bytes[i + 1] == 0xBF && bytes[i + 2] >= 0xBE) {
            out += replacementCharacter;
        } else {
            out.append(text + i, static_cast<size_t>(sequence));
        }
        i += static_cast<size_t>(sequence);
    }
}

bool isSimpleXmlName(const char *name) {
    if (name == nullptr) {
        return false;
    }
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isLetter(name[0]) && name[0] != '_') {
        return false;
    }
    for (const char *c = name + 1; *c != '\0'; ++c) {
        if (!isLetter(*c) && !(*c >= '0' && *c <= '9') && *c != '_' && *c != '-' && *c != '.') {
            return false;
        }
    }
    return true;
}

}  // namespace agent::detail
