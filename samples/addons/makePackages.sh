#!/bin/sh
# Builds the sample add-on packages from the directories beside this script
# into DIR (default: the current directory):
#   HelloAddon.tar     an add-on; the installer puts it in /etc/addons.d/HelloAddon
#   IXO_AGENT-2.1.tar  an agent package: installing it upgrades the agent, which
#                      checks that it brought /etc/addons.d/IXO_AGENT/control
# Packages are plain tar files, as the device's busybox tar reads them; GNU
# tar and busybox tar both make them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-.}
mkdir -p "$out"
tar -C "$here/HelloAddon" -cf "$out/HelloAddon.tar" .
tar -C "$here/IXO_AGENT" -cf "$out/IXO_AGENT-2.1.tar" .
echo "packages in $out: HelloAddon.tar IXO_AGENT-2.1.tar"
