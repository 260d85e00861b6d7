// Inside the platform subsystem: the steps of reading the network interfaces
// and of applying a configuration record, and the small helpers they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fixedFields.h"
#include "ixo/platform_data.h"
#include "ixo/registry.h"

namespace platform {

// Registry paths: the temporary registry is rebuilt at every boot and holds
// the MACs and change commands; configuration changes go to the persistent one.
extern const char kTemporaryRegistry[];
extern const char kPersistentRegistry[];

// ---- record fields ----------------------------------------------------------
// The text of a fixed field of a record, up to its NUL or its end.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}
// Copies text into a fixed field, cut to fit and always terminated.
template <size_t N>
void copyField(char (&field)[N], const char *text) {
    fields::copyText(field, N, text);
}

// ---- registry ------------------------------------------------------------------
using RegistryValue = char[IXO_REGISTRY_BUFFER_SIZE];
// p_regGet into a full-size buffer; false (buffer empty) when the read failed.
bool readValue(int registry, const char *section, const char *key, RegistryValue &value,
               const char *defaultValue = "");
// p_regSet; a refused write is logged with its section and key.
bool writeValue(int registry, const char *section, const char *key, const char *value);

// ---- inventory ----------------------------------------------------------------
// 1 when sectionName names the interface in "System"/"interface" (any case).
int isPrimaryNetworkInterface(const char *sectionName, int registry);
// By interfaceType: wired (1) and wireless (2) readers; others do nothing.
int getNetworkSettings(int registry, const char *sectionName, NetworkInterface *net);
void getNetworkStatus(const char *sectionName, NetworkInterface *net);
int getWiredNetworkSettings(int registry, const char *sectionName, NetworkInterface *net);
void getWiredNetworkStatus(const char *sectionName, NetworkInterface *net);
int getWirelessNetworkSettings(int registry, const char *sectionName, NetworkInterface *net);
void getWirelessNetworkStatus(const char *sectionName, NetworkInterface *net);

// Speed in Mb/s named in a text: 1000, 100 or 10 when it holds that number,
// else 0.
uint32_t speedInText(const char *text);
// The first line of mii-tool's report into linkSpeed and linkDuplex.
void readLinkLine(const char *line, NetworkInterface *net);

// ---- network configuration ----------------------------------------------------
// Refreshes the MAC cache of networkInterfaces from the temporary registry.
void getAllMacs();
// The MAC as colon-separated pairs, whether it was given with colons or not;
// letters keep their case.
std::string normalizeMac(const char *mac);
// The cached MAC of the section ("" when the section is not known).
void getDeviceMac(std::string *mac, const char *sectionName);
// The section whose cached MAC is net's mac (any case); 0 or -1.
int getNetworkInterfaceName(const NetworkInterface *net, int registry, std::string *sectionName);
// 1 primary, 0 not, -1 when the temporary registry cannot be opened.
int isPrimaryNetworkInterfaceFromTemp(const char *sectionName);
// Writes one interface's settings into the persistent registry.
int setNetworkConfig(const NetworkInterface *net, int registry);
// Runs one interface's "onchange" command from the temporary registry.
void doNetworkAction(const NetworkInterface *net, int registry);
// Every interface's change command, then the DNS restart.
int doAllNetworkActions(const NetworkInterface *networkList);

// ---- platform configuration ---------------------------------------------------
// What one configuration changed, and so what must be restarted.
struct ChangeFlags {
    int hostNameChanged = 0;
    int localeChanged = 0;
};

int setPlatformConfig(PlatformData *platformData, int registry, ChangeFlags *flags);
int setHostName(int registry, uint32_t hostNameAssignmentType, const char *hostName,
                int *hostNameChanged);
// locale is a field of localeSize bytes; its ".utf8" is rewritten in place.
int setLocale(int registry, char *locale, size_t localeSize, ChangeFlags *flags);
int restartHostName();
int restartWindowManager();
int setAssetConfig(const PlatformData *platformData);

}  // namespace platform
