// The EEPROM's asset values as ixoAgent reports them: each with whether the
// controller family stores it at all, so that a report says so instead of
// showing the library's fill (0xFF bytes, "FFFFFFFF") as a value. Printers
// of any format take the same data.
#pragma once

#include <string>
#include <vector>

#include "agent/eepromImage.h"

namespace agent {

extern const char kNotStored[];  // "not stored by this controller"

enum class Validity { None, Valid, Invalid };

struct EepromValue {
    const char *key = "";    // the value's name for a machine-readable report
    const char *label = "";  // its name in the text report
    bool stored = false;
    std::string text;   // the value, when stored ("" when it could not be read)
    bool checksum = false;
    Validity validity = Validity::None;  // checksums only
};

// A value read from the EEPROM (its text as shown, "" when it could not be
// read), marked not stored when the family does not store the request bit's
// value.
EepromValue eepromValue(const IxoEepromFamily *family, unsigned char bit, const char *key,
                        const char *label, const std::string &text);
// The values of a read transfer of bits 0x01-0x20 (the record) and of the
// image it read, in the order they are shown.
std::vector<EepromValue> eepromValues(const IxoEepromFamily &family, unsigned char *record,
                                      const unsigned char *image);
// "label: value", the checksums with "valid" or "invalid".
void printEepromValue(const EepromValue &value);

// The key as the library's record holds it: 8 uppercase hexadecimal digits
// of the 4 bytes, least significant first.
std::string keyText(const unsigned char *bytes);
// The serial number's characters up to the first NUL; others escaped.
std::string serialText(const unsigned char *bytes);
std::string hexBytes(const unsigned char *bytes, int count, const char *separator);
// "checksums: active 0x13 valid, full 0x05c2 valid" for an image.
std::string checksumsText(const IxoEepromFamily &family, const unsigned char *image);

}  // namespace agent
