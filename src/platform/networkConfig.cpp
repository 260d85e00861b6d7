// Applying a configuration's network interfaces. The record names each
// interface only by its MAC address; the temporary registry, which the
// system rebuilds at boot, knows which section carries which MAC. The
// settings go to the persistent registry, and each interface's own change
// command ("onchange") then brings the device in step.
#define IXO_MODULE "DeviceAsset"

#include <strings.h>

#include "device/device.h"
#include "log.h"
#include "platform/platformInternal.h"

namespace platform {

namespace {

const char kDnsRestart[] = "/sbin/sudo su -c \"/usr/sbin/network_restart.sh DNS\"";

// "onchange" values are cut to this many characters.
constexpr size_t kMaxChangeCommand = 999;

bool isDhcp(uint32_t ipAssignmentType) { return ipAssignmentType == 2 || ipAssignmentType == 3; }

}  // namespace

void getAllMacs() {
    int registry = p_openReg(kTemporaryRegistry);
    if (registry == 0) {
        IXO_LOG(IXO_ERROR, "error opening registry");
        return;
    }
    for (NetworkInterfaceSection *row = networkInterfaces; row->sectionName[0] != '\0'; ++row) {
        RegistryValue mac;
        readValue(registry, row->sectionName, "mac", mac);
        // An empty value keeps the MAC an earlier configuration cached.
        if (mac[0] != '\0') {
            copyField(row->cachedMac, mac);
        }
    }
    p_CloseNoAction(registry);
}

std::string normalizeMac(const char *mac) {
    std::string normalized;
    size_t copied = 0;
    for (const char *c = mac; *c != '\0'; ++c) {
        if (*c == ':') {
            continue;
        }
        if (copied != 0 && copied % 2 == 0) {
            normalized += ':';
        }
        normalized += *c;
        ++copied;
    }
    return normalized;
}

void getDeviceMac(std::string *mac, const char *sectionName) {
    if (mac == nullptr || sectionName == nullptr || sectionName[0] == '\0') {
        IXO_LOG(IXO_ERROR, "bad arguments");
        return;
    }
    for (const NetworkInterfaceSection *row = networkInterfaces; row->sectionName[0] != '\0';
         ++row) {
        if (std::strcmp(row->sectionName, sectionName) == 0) {
            *mac = fieldText(row->cachedMac);
            return;
        }
    }
    IXO_LOG(IXO_ERROR, "Could not find mac for '%s'", sectionName);
    mac->clear();
}

int getNetworkInterfaceName(const NetworkInterface *net, int registry, std::string *sectionName) {
    if (net == nullptr || registry == 0 || sectionName == nullptr || net->mac[0] == '\0') {
        IXO_LOG(IXO_ERROR, "bad arguments");
        return -1;
    }
    std::string mac = fieldText(net->mac);
    std::string normalized = normalizeMac(mac.c_str());
    for (const NetworkInterfaceSection *row = networkInterfaces; row->sectionName[0] != '\0';
         ++row) {
        std::string cached;
        getDeviceMac(&cached, row->sectionName);
        // A section without a known MAC never matches: a MAC of nothing but
        // colons would otherwise normalise to the same empty text.
        if (!cached.empty() && strcasecmp(cached.c_str(), normalized.c_str()) == 0) {
            *sectionName = row->sectionName;
            IXO_LOG(IXO_TRACE, "Found %s with mac %s", row->sectionName, cached.c_str());
            return 0;
        }
    }
    IXO_LOG(IXO_ERROR, "Could not find network interface with mac %s", mac.c_str());
    return -1;
}

int isPrimaryNetworkInterfaceFromTemp(const char *sectionName) {
    int registry = p_openReg(kTemporaryRegistry);
    if (registry == 0) {
        IXO_LOG(IXO_ERROR, "error opening registry");
        return -1;
    }
    int primary = isPrimaryNetworkInterface(sectionName, registry);
    p_CloseNoAction(registry);
    return primary;
}

int setNetworkConfig(const NetworkInterface *net, int registry) {
    if (net == nullptr || net->mac[0] == '\0') {
        IXO_LOG(IXO_ERROR, "net->mac must be valid");
        return -1;
    }
    std::string section;
    if (getNetworkInterfaceName(net, registry, &section) != 0) {
        IXO_LOG(IXO_ERROR, "Failed to find network interface with mac %s",
                fieldText(net->mac).c_str());
        return -1;
    }
    const char *name = section.c_str();
    // Without the temporary registry the interface cannot be told from the
    // primary one: it is treated as primary.
    bool primary = isPrimaryNetworkInterfaceFromTemp(name) != 0;
    std::string address = fieldText(net->address);
    bool written = writeValue(registry, name, "address", address.c_str());

    switch (net->ipAssignmentType) {
        case 2:
            written &= writeValue(registry, name, "ip", "DHCP");
            written &= writeValue(registry, name, "bootp", "no");
            break;
        case 3:
            written &= writeValue(registry, name, "ip", "DHCP");
            written &= writeValue(registry, name, "bootp", "yes");
            break;
        case 1:
            written &= writeValue(registry, name, "ip", "static");
            written &= writeValue(registry, name, "gateway", fieldText(net->gateway).c_str());
            written &= writeValue(registry, name, "address", address.c_str());
            written &= writeValue(registry, name, "netmask", fieldText(net->netmask).c_str());
            if (primary) {
                IXO_LOG(IXO_TRACE, "%s is primary network, setting DNS info", name);
                if (const DnsServerEntry *first = net->dnsServers) {
                    written &= writeValue(registry, "DNS", "dnsserver1",
                                          fieldText(first->address).c_str());
                    std::string second =
                        first->next != nullptr ? fieldText(first->next->address) : "";
                    written &= writeValue(registry, "DNS", "dnsserver2", second.c_str());
                }
                if (const DnsSuffixEntry *suffix = net->dnsSuffixes) {
                    written &= writeValue(registry, "DNS", "domainname",
                                          fieldText(suffix->suffix).c_str());
                }
            } else {
                IXO_LOG(IXO_PROGRESS, "%s is NOT the primary network, NOT setting DNS info", name);
            }
            break;
        default:
            break;
    }

    if (primary) {
        if (isDhcp(net->ipAssignmentType)) {
            written &= writeValue(registry, "WINS", "winsAuto", "true");
        } else {
            written &= writeValue(registry, "WINS", "winsAuto", "false");
            if (const WinsServerEntry *first = net->winsServers) {
                written &=
                    writeValue(registry, "WINS", "winsserver1", fieldText(first->address).c_str());
                if (const WinsServerEntry *second = first->next) {
                    written &= writeValue(registry, "WINS", "winsserver2",
                                          fieldText(second->address).c_str());
                }
            }
        }
    }
    return written ? 0 : -1;
}

void doNetworkAction(const NetworkInterface *net, int registry) {
    std::string section;
    if (getNetworkInterfaceName(net, registry, &section) != 0) {
        return;
    }
    IXO_LOG(IXO_TRACE, "Finding onChange for section '%s'", section.c_str());
    RegistryValue value;
    readValue(registry, section.c_str(), "onchange", value);
    std::string command(value, strnlen(value, kMaxChangeCommand));
    // A command written to run in the background runs in the foreground, so
    // that the DNS restart comes after it.
    while (!command.empty() && (command.back() == ' ' || command.back() == '&')) {
        command.pop_back();
    }
    if (command.empty()) {
        return;
    }
    // The change command is the device's own, from its registry: it is run
    // as it stands.
    IXO_LOG(IXO_PROGRESS, "Executing '%s' as onChange", command.c_str());
    device::runDeviceCommand(command);
}

int doAllNetworkActions(const NetworkInterface *networkList) {
    int registry = p_openReg(kTemporaryRegistry);
    if (registry == 0) {
        IXO_LOG(IXO_ERROR, "Error opening registry '%s'", kTemporaryRegistry);
        return -1;
    }
    for (const NetworkInterface *net = networkList; net != nullptr; net = net->next) {
        doNetworkAction(net, registry);
    }
    p_CloseNoAction(registry);
    if (device::runDeviceCommand(kDnsRestart) != 0) {
        IXO_LOG(IXO_ERROR, "Error executing '%s'", kDnsRestart);
    }
    return 0;
}

}  // namespace platform
