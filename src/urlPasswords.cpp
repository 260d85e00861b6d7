// Shared by the library and the agent: the agent compiles this file into its
// own services, so both hide passwords the same way.
#include "urlPasswords.h"

namespace ixo {

namespace {

const char schemeEnd[] = "://";
// Where a URL's authority (user:password@host:port) ends. Besides the URL's
// own delimiters, characters no URL holds unencoded end it, so that a URL in
// a log line, an XML element or quotes is taken alone.
const char authorityEnds[] = "/?#<>\" \t\r\n";

}  // namespace

std::string hideUrlPasswords(const std::string &text) {
    std::string shown;
    size_t copied = 0;
    size_t marker = text.find(schemeEnd);
    while (marker != std::string::npos) {
        size_t start = marker + sizeof schemeEnd - 1;
        size_t end = text.find_first_of(authorityEnds, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        // The last "@" ends the user information: a password may hold one.
        size_t at = end > start ? text.rfind('@', end - 1) : std::string::npos;
        size_t colon = text.find(':', start);
        if (at != std::string::npos && at >= start && colon < at) {
            shown.append(text, copied, colon + 1 - copied);
            shown += "***";
            copied = at;
        }
        marker = text.find(schemeEnd, end);
    }
    shown.append(text, copied, std::string::npos);
    return shown;
}

}  // namespace ixo
