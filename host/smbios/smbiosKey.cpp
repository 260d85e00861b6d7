// Where the device's security key comes from, and its SMBIOS text form.
#include <strings.h>

#include <cctype>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/registry/registry.h"
#include "ixo/agent.h"

namespace {

// The agent setting: the key is read from SMBIOS instead of the network
// controller's EEPROM.
const char kSettingsRegistry[] = "/tmp/system.conf";
const char kSettingsSection[] = "IxoSettings";
const char kUseSmbiosKey[] = "useSmbios";

constexpr size_t kKeyDigits = 8;

}  // namespace

// Non-zero when "IxoSettings"/"useSmbios" is 1, true or yes (any case).
extern "C" int useSmbiosFlagEnabled(void) {
    std::string value;
    if (!agent::registryGet(kSettingsRegistry, kSettingsSection, kUseSmbiosKey, &value, nullptr)) {
        return 0;
    }
    return value == "1" || strcasecmp(value.c_str(), "true") == 0 ||
                   strcasecmp(value.c_str(), "yes") == 0
               ? 1
               : 0;
}

// The SMBIOS text of the key is its 8 hexadecimal digits ("4E2B7C13"); any
// other text is logged and gives 0.
extern "C" unsigned int convertSecurityKey(const char *text) {
    if (text == nullptr) {
        ixoLogger("Agent", __func__, __LINE__, 1, "no security key text");
        return 0;
    }
    size_t length = strnlen(text, kKeyDigits + 1);
    unsigned int key = 0;
    bool valid = length == kKeyDigits;
    for (size_t index = 0; valid && index < kKeyDigits; ++index) {
        unsigned char digit = static_cast<unsigned char>(text[index]);
        if (!std::isxdigit(digit)) {
            valid = false;
            break;
        }
        key = key << 4 | static_cast<unsigned int>(
                             std::isdigit(digit) ? digit - '0' : std::toupper(digit) - 'A' + 10);
    }
    if (!valid) {
        ixoLogger("Agent", __func__, __LINE__, 1,
                  "security key '%.16s' is not 8 hexadecimal digits", text);
        return 0;
    }
    return key;
}
