// The registries a freshly imaged thin client carries: the temporary
// registry the system builds at boot, the persistent one that configuration
// changes go to, and the older management add-on's ini file.
#include "sim/device.h"

namespace sim {

namespace {

const char kTemporaryRegistry[] =
    "# Temporary registry, rebuilt from the persistent one at every boot.\n"
    "[system]\n"
    "version=6.2.0\n"
    "\n"
    "[Terminal]\n"
    "source=ENTERED\n"
    "name=TC-SIM-0001\n"
    "\n"
    "[System]\n"
    "interface=eth0\n"
    "language=en_US.UTF-8\n"
    "\n"
    "[Network-eth0]\n"
    "mac=00:40:63:C1:2A:01\n"
    "ip=dhcp\n"
    "bootp=no\n"
    "address=192.0.2.41\n"
    "netmask=255.255.255.0\n"
    "gateway=192.0.2.1\n"
    "dhcpserver=192.0.2.2\n"
    "speed=Auto\n"
    "onchange=\n"
    "\n"
    "[Network-wlan0]\n"
    "mac=00:40:63:C1:2A:02\n"
    "ip=static\n"
    "address=198.51.100.17\n"
    "netmask=255.255.255.0\n"
    "gateway=198.51.100.1\n"
    "\n"
    "[DNS]\n"
    "dnsserver1=192.0.2.53\n"
    "dnsserver2=192.0.2.54\n"
    "domainname=branch.example.test\n"
    "\n"
    "[WINS]\n"
    "winsAuto=true\n"
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
    "[Terminal]\n"
    "source=ENTERED\n"
    "name=TC-SIM-0001\n"
    "\n"
    "[System]\n"
    "interface=eth0\n"
    "language=en_US.UTF-8\n"
    "\n"
    "[IxoSettings]\n";

const char kLegacyAgentIni[] =
    "; Settings of the older management agent add-on.\n"
    "[HKLM]\n"
    "SOFTWARE\\TELMARC\\VORBIX\\ListenPort=7070\n";

}  // namespace

const StateFile kRegistryFiles[] = {
    {"/tmp/system.conf", kTemporaryRegistry},
    {"/home/root/system.conf", kPersistentRegistry},
    {"/etc/addons.d/VORBIX/config/iniFile.ini", kLegacyAgentIni},
};
const size_t kRegistryFileCount = sizeof kRegistryFiles / sizeof kRegistryFiles[0];

}  // namespace sim
