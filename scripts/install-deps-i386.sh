#!/bin/sh
# Installs what the device's 32-bit build needs beside the host's packages, if
# any is missing: Debian's i386 development packages of the agent's libraries
# (Multi-Arch: same, so they sit beside the amd64 ones at the same version),
# the 32-bit compiler runtime and GoogleTest's sources, built with -m32.
set -eu
packages="g++-multilib googletest libxml2-dev:i386 libcurl4-openssl-dev:i386"
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
