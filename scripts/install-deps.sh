#!/bin/sh
# Installs the Debian packages the build and the tests need, if any is missing.
set -eu
packages="cmake g++ make pkg-config binutils g++-multilib libxml2-dev libgtest-dev libgmock-dev libbenchmark-dev busybox-static libcurl4-openssl-dev python3 dpkg-dev valgrind clang-14 libclang-rt-14-dev llvm-14"
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing="$missing $package"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing
fi
