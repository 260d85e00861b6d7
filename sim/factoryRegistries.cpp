// The registries a freshly imaged thin client carries: the temporary
// registry the system builds at boot, the persistent one that configuration
// changes go to, and the older management add-on's ini file.
#include "sim/deviceParts.h"

namespace sim {

namespace {

// What both registries hold alike, once (the temporary one adds the
// interfaces' hardware addresses and DHCP leases).
#define SIM_ONCHANGE(interface) \
    "onchange=/sbin/sudo su -c \"/usr/sbin/network_restart.sh " interface "\" &\n"
#define SIM_TERMINAL_AND_SYSTEM \
    "[Terminal]\n" \
    "source=ENTERED\n" \
    "name=TC-SIM-0001\n" \
    "\n" \
    "[System]\n" \
    "interface=eth0\n" \
    "language=en_US.UTF-8\n" \
    "\n"
#define SIM_ETH1_SETTINGS \
    "ip=static\n" \
    "bootp=no\n" \
    "address=203.0.113.10\n" \
    "netmask=255.255.255.0\n" \
    "gateway=203.0.113.1\n" \
    "speed=100F\n" \
    SIM_ONCHANGE("eth1")
#define SIM_WLAN0_SETTINGS \
    "ip=static\n" \
    "address=198.51.100.17\n" \
    "netmask=255.255.255.0\n" \
    "gateway=198.51.100.1\n" \
    SIM_ONCHANGE("wlan0")
#define SIM_DNS_AND_WINS \
    "[DNS]\n" \
    "dnsserver1=192.0.2.53\n" \
    "dnsserver2=192.0.2.54\n" \
    "domainname=branch.example.test\n" \
    "\n" \
    "[WINS]\n" \
    "winsAuto=true\n"

const char kTemporaryRegistry[] =
    "# Temporary registry, rebuilt from the persistent one at every boot.\n"
    "[system]\n"
    "version=6.2.0\n"
    "\n"
    SIM_TERMINAL_AND_SYSTEM
    "[Network-eth0]\n"
    "mac=00:40:63:C1:2A:01\n"
    "ip=dhcp\n"
    "bootp=no\n"
    "address=192.0.2.41\n"
    "netmask=255.255.255.0\n"
    "gateway=192.0.2.1\n"
    "dhcpserver=192.0.2.2\n"
    "speed=Auto\n"
    SIM_ONCHANGE("eth0")
    "\n"
    "[Network-eth1]\n"
    "mac=00:40:63:C1:2A:03\n"
    SIM_ETH1_SETTINGS
    "\n"
    "[Network-wlan0]\n"
    "mac=00:40:63:C1:2A:02\n"
    SIM_WLAN0_SETTINGS
    "\n"
    "[Network-ppp0]\n"
    "mac=00:40:63:C1:2A:04\n"
    "ip=dhcp\n"
    "bootp=no\n"
    "address=100.64.12.7\n"
    "netmask=255.255.255.255\n"
    "gateway=100.64.0.1\n"
    "dhcpserver=100.64.0.1\n"
    "speed=\n"
    SIM_ONCHANGE("ppp0")
    "\n"
    SIM_DNS_AND_WINS
    "winsServer1=\n"
    "winsServer2=\n"
    "\n"
    "[IxoSettings]\n"
    "logEnabled=1\n"
    "LogFileName=/var/log/ixoAgent.log\n"
    "PendingCommandXml=\n"
    "PendingResponse=\n"
    "\n"
    "[lumsettings]\n"
    "ServerAddress=mgmt.branch.example.test\n"
    "ServerPort=9080\n";

const char kPersistentRegistry[] =
    "# Persistent registry: configuration changes are written here.\n"
    SIM_TERMINAL_AND_SYSTEM
    "[Network-eth0]\n"
    "ip=dhcp\n"
    "bootp=no\n"
    "address=192.0.2.41\n"
    "netmask=255.255.255.0\n"
    "gateway=192.0.2.1\n"
    "speed=Auto\n"
    SIM_ONCHANGE("eth0")
    "\n"
    "[Network-eth1]\n"
    SIM_ETH1_SETTINGS
    "\n"
    "[Network-wlan0]\n"
    SIM_WLAN0_SETTINGS
    "\n"
    "[Network-ppp0]\n"
    "ip=dhcp\n"
    "bootp=no\n"
    SIM_ONCHANGE("ppp0")
    "\n"
    SIM_DNS_AND_WINS
    "\n"
    "[IxoSettings]\n";

const char kLegacyAgentIni[] =
    "; Settings of the older management agent add-on.\n"
    "[HKLM]\n"
    "SOFTWARE\\TELMARC\\VORBIX\\ListenPort=7070\n";

#undef SIM_ONCHANGE
#undef SIM_TERMINAL_AND_SYSTEM
#undef SIM_ETH1_SETTINGS
#undef SIM_WLAN0_SETTINGS
#undef SIM_DNS_AND_WINS

}  // namespace

const StateFile kRegistryFiles[] = {
    {"/tmp/system.conf", kTemporaryRegistry},
    {"/home/root/system.conf", kPersistentRegistry},
    {"/etc/addons.d/VORBIX/config/iniFile.ini", kLegacyAgentIni},
};
const size_t kRegistryFileCount = sizeof kRegistryFiles / sizeof kRegistryFiles[0];

}  // namespace sim
