// One network interface as the agent reports it: its settings from the
// interface's registry section and the device-wide DNS and WINS sections,
// whether it is the primary interface, and for wired interfaces the
// configured and the live speed and duplex.
#define IXO_MODULE "DeviceAsset"

#include <strings.h>

#include "ixo/platform.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

// Appends the device-wide list values that are set, in key order. An entry
// the agent cannot allocate drops its value.
template <typename Entry>
void addListValues(int registry, const char *section, const char *const *keys, size_t keyCount,
                   NetworkInterface *net, Entry *(*add)(NetworkInterface *)) {
    for (size_t i = 0; i < keyCount; ++i) {
        RegistryValue value;
        if (!readValue(registry, section, keys[i], value) || value[0] == '\0') {
            continue;
        }
        Entry *entry = add(net);
        if (entry == nullptr) {
            IXO_LOG(IXO_ERROR, "no list entry for '%s' in section '%s'", keys[i], section);
            continue;
        }
        // Every list entry begins with its text.
        fields::copyText(reinterpret_cast<char *>(entry), IXO_TEXT_FIELD_SIZE, value);
    }
}

// A required value: false when it cannot be read.
bool readRequired(int registry, const char *section, const char *key, RegistryValue &value) {
    if (!readValue(registry, section, key, value)) {
        IXO_LOG(IXO_ERROR, "error reading required '%s' of '%s'", key, section);
        return false;
    }
    return true;
}

}  // namespace

int isPrimaryNetworkInterface(const char *sectionName, int registry) {
    RegistryValue value;
    if (sectionName == nullptr || !readValue(registry, "System", "interface", value)) {
        return 0;
    }
    std::string primary = "Network-" + std::string(value, strnlen(value, 1014));
    return strcasecmp(primary.c_str(), sectionName) == 0 ? 1 : 0;
}

int getNetworkSettings(int registry, const char *sectionName, NetworkInterface *net) {
    switch (net->interfaceType) {
        case 1:
            return getWiredNetworkSettings(registry, sectionName, net);
        case 2:
            return getWirelessNetworkSettings(registry, sectionName, net);
        default:
            return 0;
    }
}

void getNetworkStatus(const char *sectionName, NetworkInterface *net) {
    switch (net->interfaceType) {
        case 1:
            getWiredNetworkStatus(sectionName, net);
            break;
        case 2:
            getWirelessNetworkStatus(sectionName, net);
            break;
        default:
            break;
    }
}

int getWiredNetworkSettings(int registry, const char *sectionName, NetworkInterface *net) {
    RegistryValue speed;
    if (!readValue(registry, sectionName, "speed", speed)) {
        return -1;
    }
    if (strcasecmp(speed, "Auto") == 0) {
        net->speedSetting = 1;
        net->duplexSetting = 3;
        IXO_LOG(IXO_PROGRESS, "Speed/Duplex are Auto");
        return 0;
    }
    net->speedSetting = speedInText(speed);
    if (std::strchr(speed, 'F') != nullptr) {
        net->duplexSetting = 2;
    } else if (std::strchr(speed, 'H') != nullptr) {
        net->duplexSetting = 1;
    } else {
        net->duplexSetting = 0;
    }
    return 0;
}

// Wireless interfaces report no speed or duplex.
int getWirelessNetworkSettings(int, const char *, NetworkInterface *) { return 0; }

void getWirelessNetworkStatus(const char *, NetworkInterface *) {}

}  // namespace platform

extern "C" IXO_API int getNetworkInterfaceData(int registry, PlatformData *platformData,
                                               const char *sectionName) {
    using namespace platform;
    if (sectionName == nullptr) {
        IXO_LOG(IXO_ERROR, "bad arguments");
        return -1;
    }
    RegistryValue mac;
    readValue(registry, sectionName, "mac", mac);
    if (mac[0] == '\0') {
        return -1;
    }
    NetworkInterface *net = addNetworkInterface(platformData);
    IXO_LOG(IXO_TRACE, "Adding network interface '%s'", sectionName);
    if (net == nullptr) {
        return 0;
    }
    net->isPrimary = static_cast<uint32_t>(isPrimaryNetworkInterface(sectionName, registry));
    if (std::strcmp(sectionName, "Network-eth0") == 0) {
        net->interfaceType = 1;
        net->onboard = 1;
    } else if (std::strcmp(sectionName, "Network-wlan0") == 0) {
        net->interfaceType = 2;
        net->onboard = 0;
    } else if (std::strcmp(sectionName, "Network-ppp0") == 0) {
        net->interfaceType = 1;
        net->onboard = 0;
    } else {
        net->interfaceType = 0;
        net->onboard = 0;
    }

    RegistryValue value;
    if (!readRequired(registry, sectionName, "address", value)) {
        return -1;
    }
    copyField(net->address, value);
    if (!readRequired(registry, sectionName, "mac", value)) {
        return -1;
    }
    copyField(net->mac, value);

    RegistryValue ip;
    readValue(registry, sectionName, "ip", ip);
    net->dhcpEnabled = 0;
    net->active = 1;
    if (strcasecmp(ip, "dhcp") == 0) {
        RegistryValue bootp;
        if (!readValue(registry, sectionName, "bootp", bootp, "no")) {
            copyField(bootp, "no");
        }
        net->ipAssignmentType = strcasecmp(bootp, "yes") == 0 ? 3 : 2;
        net->dhcpEnabled = 1;
    } else if (strcasecmp(ip, "static") == 0) {
        net->ipAssignmentType = 1;
    } else {
        net->ipAssignmentType = 0;
    }

    if (net->ipAssignmentType == 2 || net->ipAssignmentType == 3) {
        if (!readRequired(registry, sectionName, "dhcpserver", value)) {
            return -1;
        }
        copyField(net->dhcpServer, value);
    } else {
        net->dhcpServer[0] = '\0';
    }

    static const char *const dnsServerKeys[] = {"dnsserver1", "dnsserver2"};
    static const char *const dnsSuffixKeys[] = {"domainname"};
    static const char *const winsServerKeys[] = {"winsServer1", "winsServer2"};
    addListValues(registry, "DNS", dnsServerKeys, 2, net, addDnsServer);
    addListValues(registry, "DNS", dnsSuffixKeys, 1, net, addDnsSuffix);

    if (!readRequired(registry, sectionName, "gateway", value)) {
        return -1;
    }
    copyField(net->gateway, value);
    if (!readRequired(registry, sectionName, "netmask", value)) {
        return -1;
    }
    copyField(net->netmask, value);

    addListValues(registry, "WINS", winsServerKeys, 2, net, addWinsServer);

    if (!net->isPrimary) {
        net->dhcpEnabled = 0;
        net->active = 0;
    }
    getNetworkStatus(sectionName, net);
    getNetworkSettings(registry, sectionName, net);
    return 0;
}
