// Configuration records and registry access for the platform suite.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/platform/platformBuilders.h"
#include "host/registry/registry.h"
#include "ixo/platform.h"
#include "ixo/platform_data.h"
#include "sim/sim.h"
#include "tests/support/support.h"

namespace platformtest {

struct RecordRelease {
    void operator()(PlatformData *record) const {
        EXPECT_EQ(freePlatformData(record), 0);
        std::free(record);
    }
};
using Record = std::unique_ptr<PlatformData, RecordRelease>;

inline Record newRecord() {
    return Record(static_cast<PlatformData *>(std::calloc(1, sizeof(PlatformData))));
}

inline bool allZero(const void *bytes, size_t size) {
    const unsigned char *byte = static_cast<const unsigned char *>(bytes);
    return std::all_of(byte, byte + size, [](unsigned char b) { return b == 0; });
}

template <size_t N>
void setText(char (&field)[N], const std::string &text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

struct InterfaceSettings {
    std::string mac;
    uint32_t ipAssignmentType;
    std::string address;
    std::string netmask{};
    std::string gateway{};
    std::vector<std::string> dnsServers{};
    std::vector<std::string> dnsSuffixes{};
    std::vector<std::string> winsServers{};
};

inline NetworkInterface *addInterface(PlatformData *record, const InterfaceSettings &wanted) {
    NetworkInterface *net = addNetworkInterface(record);
    EXPECT_NE(net, nullptr);
    if (net == nullptr) {
        return nullptr;
    }
    setText(net->mac, wanted.mac);
    net->ipAssignmentType = wanted.ipAssignmentType;
    setText(net->address, wanted.address);
    setText(net->netmask, wanted.netmask);
    setText(net->gateway, wanted.gateway);
    for (const std::string &server : wanted.dnsServers) {
        setText(addDnsServer(net)->address, server);
    }
    for (const std::string &suffix : wanted.dnsSuffixes) {
        setText(addDnsSuffix(net)->suffix, suffix);
    }
    for (const std::string &server : wanted.winsServers) {
        setText(addWinsServer(net)->address, server);
    }
    return net;
}

inline void addTag(PlatformData *record, const std::string &name, const std::string &value) {
    AssetTagEntry *tag = agent::addAssetTag(record);
    ASSERT_NE(tag, nullptr);
    setText(tag->name, name);
    setText(tag->value, value);
}

const char kTemporary[] = "/tmp/system.conf";
const char kPersistent[] = "/home/root/system.conf";
const char kAbsent[] = "<absent>";

// A registry value, or kAbsent.
inline std::string registryValue(const std::string &file, const std::string &section,
                                 const std::string &key) {
    std::string value;
    return agent::registryGet(file, section, key, &value, nullptr) ? value : kAbsent;
}

inline void setRegistryValue(const std::string &file, const std::string &section,
                             const std::string &key, const std::string &value) {
    std::string error;
    ASSERT_TRUE(agent::registrySet(file, section, key, value, &error)) << error;
}

// Forgets the MACs an earlier test cached: the cache is process-wide.
inline void clearMacCache() {
    for (NetworkInterfaceSection &row : networkInterfaces) {
        std::memset(row.cachedMac, 0, sizeof row.cachedMac);
    }
}

// The texts of a list; every entry, an interface too, begins with its text.
template <typename Entry>
std::vector<std::string> entryTexts(const Entry *entry) {
    std::vector<std::string> texts;
    for (; entry != nullptr; entry = entry->next) {
        texts.emplace_back(reinterpret_cast<const char *>(entry));
    }
    return texts;
}

// The simulated device's MACs, as its temporary registry holds them.
const char kEth0Mac[] = "00:40:63:C1:2A:01";
const char kWlan0Mac[] = "00:40:63:C1:2A:02";
const char kEth1Mac[] = "00:40:63:C1:2A:03";

const char kDnsRestart[] = "/sbin/sudo su -c \"/usr/sbin/network_restart.sh DNS\"";
const char kHostNameRestart[] = "/sbin/sudo su -c \"/usr/sbin/hostname_restart.sh\"";
const char kWindowManagerRestart[] =
    "/sbin/sudo su -c \"/etc/rc.d/rc.qvwm --no-auto-launch && echo QVWM_RESTART >> "
    "/tmp/qvwm-:0.0\"";

// A simulated device with an empty MAC cache and an empty record.
class PlatformTest : public support::SimDeviceTest {
protected:
    void SetUp() override {
        support::SimDeviceTest::SetUp();
        clearMacCache();
    }

    int apply() { return setPlatformData(record.get()); }

    std::string persistent(const std::string &section, const std::string &key) {
        return registryValue(kPersistent, section, key);
    }

    Record record = newRecord();
};

}  // namespace platformtest
