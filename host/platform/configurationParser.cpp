// The "setConfiguration" command's parameters as a configuration record:
//
//   <parameters>
//     <lockoutUser>true</lockoutUser>            the handler's, optional
//     <hostName>                                 optional, at most once
//       <assignment>entered</assignment>         entered | mac | dhcp | dns
//       <name>TC-LOBBY-07</name>                 with "entered" only, and then required
//     </hostName>
//     <locale>de_DE.utf8</locale>                optional, at most once
//     <networkInterface>                         any number, one per MAC
//       <mac>00:40:63:C1:2A:01</mac>             six pairs with colons, or 12 hex digits
//       <addressing>static</addressing>          static | dhcp | bootp
//       <address>192.0.2.60</address>            static: required; dhcp, bootp: optional
//       <netmask>255.255.255.0</netmask>         static only, required
//       <gateway>192.0.2.1</gateway>             static only, optional
//       <dnsServer>192.0.2.53</dnsServer>        static only, at most two, in order
//       <dnsSuffix>lobby.example.test</dnsSuffix>  static only, at most one
//       <winsServer>192.0.2.70</winsServer>      static only, at most two, in order
//     </networkInterface>
//     <assetTag>                                 any number, names unique
//       <name>location</name>
//       <value>Lobby, desk 7</value>
//     </assetTag>
//   </parameters>
//
// Words (assignment, addressing) in any case; white space around a value is
// ignored. Anything else, a value that does not fit its registry key or
// record field, or a malformed value makes the whole command unusable: null,
// with the reason logged with the element's file and line.
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "host/platform/platformBuilders.h"
#include "ixo/registry.h"

namespace {

// What goes to the registry holds at most a registry value; asset tags go to
// a file and hold what their record field holds.
constexpr size_t kRegistryText = IXO_REGISTRY_MAX_VALUE;
constexpr size_t kFieldText = IXO_TEXT_FIELD_SIZE - 1;

struct RecordRelease {
    void operator()(PlatformData *record) const {
        freePlatformData(record);
        std::free(record);
    }
};
using RecordPtr = std::unique_ptr<PlatformData, RecordRelease>;

struct Parser {
    const IxoCommand *command;
    std::string error;

    // The element's place for messages: FILE:LINE: <path>.
    bool fail(const IxoXmlNode *node, const std::string &path, const std::string &reason) {
        std::string source = command->sourceName != nullptr ? command->sourceName : "command";
        error = source + ":" + std::to_string(node->line) + ": <" + path + "> " + reason;
        return false;
    }

    bool leaf(const IxoXmlNode *node, const std::string &path, std::string *text) {
        if (node->children != nullptr || node->text == nullptr) {
            return fail(node, path, "holds elements; a value was expected");
        }
        std::string value = node->text;
        size_t first = value.find_first_not_of(" \t\r\n");
        size_t last = value.find_last_not_of(" \t\r\n");
        *text = first == std::string::npos ? "" : value.substr(first, last - first + 1);
        return true;
    }

    bool container(const IxoXmlNode *node, const std::string &path) {
        if (node->children == nullptr) {
            return fail(node, path, "holds no elements");
        }
        return true;
    }

    // A leaf value of at most limit characters without control characters.
    bool text(const IxoXmlNode *node, const std::string &path, size_t limit, std::string *value) {
        if (!leaf(node, path, value)) {
            return false;
        }
        if (value->size() > limit) {
            return fail(node, path,
                        "is " + std::to_string(value->size()) + " characters long; at most " +
                            std::to_string(limit) + " fit");
        }
        for (unsigned char c : *value) {
            if (std::iscntrl(c)) {
                return fail(node, path, "holds a control character or line break");
            }
        }
        return true;
    }

    bool once(const IxoXmlNode *node, const std::string &path, bool *seen) {
        if (*seen) {
            return fail(node, path, "is given more than once");
        }
        *seen = true;
        return true;
    }

    bool hostName(const IxoXmlNode *node, PlatformData *record);
    bool locale(const IxoXmlNode *node, PlatformData *record);
    bool networkInterface(const IxoXmlNode *node, PlatformData *record,
                          std::set<std::string> *macs);
    bool assetTag(const IxoXmlNode *node, PlatformData *record, std::set<std::string> *names);
    RecordPtr parse();
};

bool sameWord(const std::string &text, const char *word) {
    return strcasecmp(text.c_str(), word) == 0;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Six colon-separated pairs or twelve hex digits; the digits in lower case
// when it is one.
bool macDigits(const std::string &mac, std::string *digits) {
    digits->clear();
    if (mac.size() == 17) {
        for (size_t i = 0; i < mac.size(); ++i) {
            if (i % 3 == 2 ? mac[i] != ':' : !isHex(mac[i])) {
                return false;
            }
            if (i % 3 != 2) {
                *digits += static_cast<char>(std::tolower(static_cast<unsigned char>(mac[i])));
            }
        }
        return true;
    }
    if (mac.size() == 12) {
        for (char c : mac) {
            if (!isHex(c)) {
                return false;
            }
            *digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return true;
    }
    return false;
}

// Dotted decimal: four numbers of 0 to 255, without leading zeros.
bool isIpv4(const std::string &text) {
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        size_t start = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               at - start < 4) {
            ++at;
        }
        size_t length = at - start;
        if (length == 0 || length > 3 || (length > 1 && text[start] == '0') ||
            std::stoi(text.substr(start, length)) > 255) {
            return false;
        }
    }
    return at == text.size();
}

// Host names and locales reach device scripts: letters, digits and the few
// marks these names use.
bool plainName(const std::string &text, const char *marks) {
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr(marks, c) == nullptr) {
            return false;
        }
    }
    return true;
}

bool Parser::hostName(const IxoXmlNode *node, PlatformData *record) {
    if (!container(node, "hostName")) {
        return false;
    }
    const IxoXmlNode *assignment = nullptr;
    const IxoXmlNode *name = nullptr;
    for (const IxoXmlNode *child = node->children; child != nullptr; child = child->next) {
        const IxoXmlNode **slot = std::strcmp(child->name, "assignment") == 0 ? &assignment
                                  : std::strcmp(child->name, "name") == 0     ? &name
                                                                              : nullptr;
        if (slot == nullptr) {
            return fail(child, std::string("hostName/") + child->name, "is not known here");
        }
        if (*slot != nullptr) {
            return fail(child, std::string("hostName/") + child->name, "is given more than once");
        }
        *slot = child;
    }
    if (assignment == nullptr) {
        return fail(node, "hostName", "has no <assignment>");
    }
    std::string type;
    if (!leaf(assignment, "hostName/assignment", &type)) {
        return false;
    }
    static const char *const types[] = {"entered", "mac", "dhcp", "dns"};
    record->hostNameAssignmentType = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        if (sameWord(type, types[i])) {
            record->hostNameAssignmentType = i + 1;
        }
    }
    if (record->hostNameAssignmentType == 0) {
        return fail(assignment, "hostName/assignment",
                    "'" + type + "' is no assignment type (entered, mac, dhcp, dns)");
    }
    if (record->hostNameAssignmentType != 1) {
        return name == nullptr ||
               fail(name, "hostName/name", "is given only with the assignment 'entered'");
    }
    if (name == nullptr) {
        return fail(node, "hostName", "with the assignment 'entered' needs a <name>");
    }
    std::string value;
    if (!text(name, "hostName/name", kRegistryText, &value)) {
        return false;
    }
    if (value.empty() || !plainName(value, "-._")) {
        return fail(name, "hostName/name",
                    "'" + value + "' is no host name (letters, digits, '-', '.', '_')");
    }
    std::memcpy(record->hostName, value.c_str(), value.size() + 1);
    return true;
}

bool Parser::locale(const IxoXmlNode *node, PlatformData *record) {
    std::string value;
    if (!text(node, "locale", kRegistryText, &value)) {
        return false;
    }
    if (!plainName(value, "-._@")) {
        return fail(node, "locale", "'" + value + "' is no locale name");
    }
    std::memcpy(record->locale, value.c_str(), value.size() + 1);
    return true;
}

bool Parser::networkInterface(const IxoXmlNode *node, PlatformData *record,
                              std::set<std::string> *macs) {
    if (!container(node, "networkInterface")) {
        return false;
    }
    NetworkInterface *net = addNetworkInterface(record);
    if (net == nullptr) {
        return fail(node, "networkInterface", "cannot be stored: out of memory");
    }
    const IxoXmlNode *mac = nullptr;
    const IxoXmlNode *addressing = nullptr;
    const IxoXmlNode *address = nullptr;
    const IxoXmlNode *netmask = nullptr;
    const IxoXmlNode *gateway = nullptr;
    const IxoXmlNode *staticOnly = nullptr;  // the first element only a static address takes
    int dnsServers = 0;
    int dnsSuffixes = 0;
    int winsServers = 0;
    for (const IxoXmlNode *child = node->children; child != nullptr; child = child->next) {
        std::string name = child->name;
        std::string path = "networkInterface/" + name;
        const IxoXmlNode **slot = name == "mac"          ? &mac
                                  : name == "addressing" ? &addressing
                                  : name == "address"    ? &address
                                  : name == "netmask"    ? &netmask
                                  : name == "gateway"    ? &gateway
                                                         : nullptr;
        if (slot != nullptr) {
            if (*slot != nullptr) {
                return fail(child, path, "is given more than once");
            }
            *slot = child;
            if ((name == "netmask" || name == "gateway") && staticOnly == nullptr) {
                staticOnly = child;
            }
            continue;
        }
        std::string value;
        if (name == "dnsServer" || name == "winsServer") {
            int &count = name == "dnsServer" ? dnsServers : winsServers;
            if (++count > 2) {
                return fail(child, path, "is given more than twice");
            }
            if (!text(child, path, kRegistryText, &value)) {
                return false;
            }
            if (!isIpv4(value)) {
                return fail(child, path, "'" + value + "' is no IPv4 address");
            }
            // Every list entry begins with its text.
            char *entry = name == "dnsServer" ? reinterpret_cast<char *>(addDnsServer(net))
                                              : reinterpret_cast<char *>(addWinsServer(net));
            if (entry == nullptr) {
                return fail(child, path, "cannot be stored: out of memory");
            }
            std::memcpy(entry, value.c_str(), value.size() + 1);
        } else if (name == "dnsSuffix") {
            if (++dnsSuffixes > 1) {
                return fail(child, path, "is given more than once");
            }
            if (!text(child, path, kRegistryText, &value)) {
                return false;
            }
            if (value.empty() || !plainName(value, "-._")) {
                return fail(child, path, "'" + value + "' is no domain name");
            }
            DnsSuffixEntry *suffix = addDnsSuffix(net);
            if (suffix == nullptr) {
                return fail(child, path, "cannot be stored: out of memory");
            }
            std::memcpy(suffix->suffix, value.c_str(), value.size() + 1);
        } else {
            return fail(child, path, "is not known here");
        }
        if (staticOnly == nullptr) {
            staticOnly = child;
        }
    }

    if (mac == nullptr) {
        return fail(node, "networkInterface", "has no <mac>");
    }
    std::string macText;
    std::string digits;
    if (!text(mac, "networkInterface/mac", kRegistryText, &macText)) {
        return false;
    }
    if (!macDigits(macText, &digits)) {
        return fail(
            mac, "networkInterface/mac",
            "'" + macText + "' is no MAC address (six pairs with colons, or 12 hex digits)");
    }
    if (!macs->insert(digits).second) {
        return fail(mac, "networkInterface/mac", "'" + macText + "' names an interface again");
    }
    std::memcpy(net->mac, macText.c_str(), macText.size() + 1);

    if (addressing == nullptr) {
        return fail(node, "networkInterface", "has no <addressing>");
    }
    std::string type;
    if (!leaf(addressing, "networkInterface/addressing", &type)) {
        return false;
    }
    if (sameWord(type, "static")) {
        net->ipAssignmentType = 1;
    } else if (sameWord(type, "dhcp")) {
        net->ipAssignmentType = 2;
    } else if (sameWord(type, "bootp")) {
        net->ipAssignmentType = 3;
    } else {
        return fail(addressing, "networkInterface/addressing",
                    "'" + type + "' is no addressing type (static, dhcp, bootp)");
    }
    if (net->ipAssignmentType != 1 && staticOnly != nullptr) {
        return fail(staticOnly, std::string("networkInterface/") + staticOnly->name,
                    "is given only with the addressing 'static'");
    }
    if (net->ipAssignmentType == 1 && (address == nullptr || netmask == nullptr)) {
        return fail(node, "networkInterface",
                    "with a static address needs <address> and <netmask>");
    }
    struct AddressField {
        const IxoXmlNode *node;
        const char *path;
        char *field;
    } fields[] = {{address, "networkInterface/address", net->address},
                  {netmask, "networkInterface/netmask", net->netmask},
                  {gateway, "networkInterface/gateway", net->gateway}};
    for (const AddressField &field : fields) {
        if (field.node == nullptr) {
            continue;
        }
        std::string value;
        if (!text(field.node, field.path, kRegistryText, &value)) {
            return false;
        }
        if (!isIpv4(value)) {
            return fail(field.node, field.path, "'" + value + "' is no IPv4 address");
        }
        std::memcpy(field.field, value.c_str(), value.size() + 1);
    }
    return true;
}

bool Parser::assetTag(const IxoXmlNode *node, PlatformData *record, std::set<std::string> *names) {
    if (!container(node, "assetTag")) {
        return false;
    }
    const IxoXmlNode *name = nullptr;
    const IxoXmlNode *value = nullptr;
    for (const IxoXmlNode *child = node->children; child != nullptr; child = child->next) {
        const IxoXmlNode **slot = std::strcmp(child->name, "name") == 0    ? &name
                                  : std::strcmp(child->name, "value") == 0 ? &value
                                                                           : nullptr;
        if (slot == nullptr) {
            return fail(child, std::string("assetTag/") + child->name, "is not known here");
        }
        if (*slot != nullptr) {
            return fail(child, std::string("assetTag/") + child->name, "is given more than once");
        }
        *slot = child;
    }
    if (name == nullptr || value == nullptr) {
        return fail(node, "assetTag", "needs a <name> and a <value>");
    }
    std::string nameText;
    std::string valueText;
    if (!text(name, "assetTag/name", kFieldText, &nameText) ||
        !text(value, "assetTag/value", kFieldText, &valueText)) {
        return false;
    }
    // The tag file holds one name=value line per tag.
    if (nameText.empty() || nameText.find('=') != std::string::npos) {
        return fail(name, "assetTag/name", "'" + nameText + "' is no tag name (not empty, no '=')");
    }
    if (!names->insert(nameText).second) {
        return fail(name, "assetTag/name", "'" + nameText + "' is given again");
    }
    AssetTagEntry *tag = agent::addAssetTag(record);
    if (tag == nullptr) {
        return fail(node, "assetTag", "cannot be stored: out of memory");
    }
    std::memcpy(tag->name, nameText.c_str(), nameText.size() + 1);
    std::memcpy(tag->value, valueText.c_str(), valueText.size() + 1);
    return true;
}

RecordPtr Parser::parse() {
    RecordPtr record(static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData))));
    if (!record) {
        error = "out of memory";
        return nullptr;
    }
    bool hostNameSeen = false;
    bool localeSeen = false;
    std::set<std::string> macs;
    std::set<std::string> tagNames;
    for (const IxoXmlNode *node = command->parameters->children; node != nullptr;
         node = node->next) {
        std::string name = node->name;
        bool parsed;
        if (name == "lockoutUser") {
            parsed = true;
        } else if (name == "hostName") {
            parsed = once(node, name, &hostNameSeen) && hostName(node, record.get());
        } else if (name == "locale") {
            parsed = once(node, name, &localeSeen) && locale(node, record.get());
        } else if (name == "networkInterface") {
            parsed = networkInterface(node, record.get(), &macs);
        } else if (name == "assetTag") {
            parsed = assetTag(node, record.get(), &tagNames);
        } else {
            parsed = fail(node, name, "is not a setConfiguration parameter");
        }
        if (!parsed) {
            return nullptr;
        }
    }
    return record;
}

}  // namespace

extern "C" PlatformData *parseConfigurationCommand(IxoCommand *command) {
    if (command == nullptr || command->parameters == nullptr) {
        ixoLogger("Agent", __func__, __LINE__, 1, "setConfiguration: no command parameters");
        return nullptr;
    }
    Parser parser{command, ""};
    RecordPtr record;
    try {
        record = parser.parse();
    } catch (const std::bad_alloc &) {
        parser.error = "out of memory";
    }
    if (!record) {
        ixoLogger("Agent", __func__, __LINE__, 1, "setConfiguration: %s", parser.error.c_str());
        return nullptr;
    }
    return record.release();
}
