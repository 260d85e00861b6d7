#!/bin/sh
# Installs what the device's 32-bit build needs beside the host's packages, if
# any is missing: Debian's i386 development packages of the agent's libraries
# (Multi-Arch: same, so they sit beside the amd64 ones at the same version),
# the 32-bit compiler runtime and GoogleTest's sources, built with -m32.
set -eu
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
exec "$(dirname "$0")/install-missing.sh" g++-multilib googletest libxml2-dev:i386 \
  libcurl4-openssl-dev:i386
