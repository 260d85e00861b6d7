#!/bin/sh
# The main job: build the library and the development agent, make a simulated
# thin client, and run the management commands, the settings store, the
# inventory, the network configuration and the EEPROM services on it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target ixoAgent IxoPlatformOs

device=${IXO_DEMO_DEVICE:-$PWD/build/demo-device}
agent="build/ixoAgent --device-root $device --log-level 1"
say() { printf '\n== %s\n' "$*"; }
programs() { echo "device programs that ran:"; sed 's/^/  /' "$device/var/log/device-programs.log"; : > "$device/var/log/device-programs.log"; }

work=$(mktemp -d)
server=""
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

say "a simulated thin client (a Zinth with a VIA Rhine network controller) in $device"
rm -rf "$device"
build/ixoAgent sim-init --platform Zinth --nic rhine "$device"
echo 0 > "$device/etc/sim/sleep.seconds"

say "the command table"
$agent commands

say "inventory, as the agent reports it to the server"
$agent inventory 2>/dev/null

say "the network interfaces of the registry"
$agent network eth0

say "the asset values in the network controller's EEPROM"
$agent eeprom show
$agent eeprom set-serial 7T3C2099001
$agent eeprom show 2>/dev/null | grep 'serial number'

say "deleteFile with the lock screen, on the write-filtered root"
: > "$device/var/log/device-programs.log"
$agent run samples/deleteFile.xml
programs

say "deleteDirectory under /home (no lock screen asked for: ending it only logs that none was up)"
$agent run samples/deleteDirectory.xml

say "executeOnDevice"
$agent run samples/executeOnDevice.xml

say "queryUser (the simulated user picks the first choice)"
$agent run samples/queryUser.xml

say "downloadFileFromServer from a MIME part of the command, onto the write-filtered root"
$agent run samples/downloadFileFromServer.xml
echo "/etc/motd now reads: $(cat "$device/etc/motd")"

say "installOnDevice and uninstallFromDevice, the package served over HTTP on 127.0.0.1"
samples/addons/makePackages.sh "$work/packages" >/dev/null
/usr/bin/python3 tests/support/httpServer.py --directory "$work/packages" > "$work/port" &
server=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$work/port" ] && break; sleep 0.2; done
port=$(head -n 1 "$work/port")
sed "s|http://127.0.0.1:8000/|http://127.0.0.1:$port/files/|" samples/installOnDevice.xml > "$work/install.xml"
: > "$device/var/log/device-programs.log"
$agent run "$work/install.xml"
echo "installed: $(ls "$device/etc/addons.d")"
$agent run samples/uninstallFromDevice.xml
echo "left: $(ls "$device/etc/addons.d")"

say "setConfiguration: host name, locale, two interfaces, asset tags"
: > "$device/var/log/device-programs.log"
$agent run samples/setConfiguration.xml
programs
echo "asset tags:"; sed 's/^/  /' "$device/home/root/ixoAssetTags"

say "the agent's settings and registries"
$agent settings set Mode demo
printf 'IxoSettings/Mode = %s\n' "$($agent settings get Mode)"
printf 'DNS/domainname = %s\n' "$($agent registry get /tmp/system.conf DNS domainname)"
printf 'older add-on listen port = %s\n' "$($agent registry get \
  /etc/addons.d/VORBIX/config/iniFile.ini HKLM 'SOFTWARE\TELMARC\VORBIX\ListenPort')"

say "a command followed by a reboot, and its outcome after the reboot"
mkdir -p "$device/home/root/addon-cache"
$agent --reboot-after run samples/deleteDirectory.xml
$agent pending
$agent resume

say "a failing command: the file is gone already"
$agent run samples/deleteFile.xml || echo "(exit status $?, as expected)"
