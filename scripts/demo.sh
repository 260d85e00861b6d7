#!/bin/sh
# The main job: build the library and the development agent, make a simulated
# thin client, list the commands and run the sample command files on it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target ixoAgent IxoPlatformOs

device=${IXO_DEMO_DEVICE:-build/demo-device}
agent=build/ixoAgent
say() { printf '\n== %s\n' "$*"; }

say "building a simulated thin client in $device"
$agent sim-init "$device"

say "the command table"
$agent --device-root "$device" commands

say "deleteFile with the lock screen, on the write-filtered root"
mkdir -p "$device/var/log" && echo "old log" > "$device/var/log/old-agent.log"
: > "$device/var/log/device-programs.log"
$agent --device-root "$device" --log-level 2 run samples/deleteFile.xml
echo "device programs that ran:"; sed 's/^/  /' "$device/var/log/device-programs.log"

say "deleteDirectory under /home (no lock screen asked for: ending it only logs that none was up)"
mkdir -p "$device/home/root/addon-cache" && echo x > "$device/home/root/addon-cache/part"
$agent --device-root "$device" --log-level 2 run samples/deleteDirectory.xml

say "a failing command: the file is gone already"
$agent --device-root "$device" --log-level 1 run samples/deleteFile.xml || echo "(exit status $?, as expected)"

say "the agent's settings and registries"
$agent --device-root "$device" --log-level 1 settings set Mode demo
printf 'IxoSettings/Mode = %s\n' "$($agent --device-root "$device" --log-level 1 settings get Mode)"
printf 'DNS/domainname = %s\n' "$($agent --device-root "$device" --log-level 1 registry get /tmp/system.conf DNS domainname)"
printf 'older add-on listen port = %s\n' "$($agent --device-root "$device" --log-level 1 registry get \
  /etc/addons.d/VORBIX/config/iniFile.ini HKLM 'SOFTWARE\TELMARC\VORBIX\ListenPort')"

say "a command followed by a reboot, and its outcome after the reboot"
mkdir -p "$device/home/root/addon-cache"
$agent --device-root "$device" --log-level 1 --reboot-after run samples/deleteDirectory.xml
$agent --device-root "$device" --log-level 1 pending
$agent --device-root "$device" --log-level 1 resume
