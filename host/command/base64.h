// Base64 (RFC 4648, standard alphabet, padded) for MIME bodies in command files.
#pragma once

#include <string>

namespace agent::detail {

std::string base64Encode(const std::string &bytes);
// Whitespace between the characters is ignored; false for any other character
// outside the alphabet, or a length or padding that is not whole groups of four.
bool base64Decode(const std::string &text, std::string *bytes);

}  // namespace agent::detail
