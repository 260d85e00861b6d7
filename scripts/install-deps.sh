#!/bin/sh
# Installs the Debian packages the build and the tests need, if any is missing.
set -eu
exec "$(dirname "$0")/install-missing.sh" cmake g++ make pkg-config binutils g++-multilib \
  libxml2-dev libgtest-dev libgmock-dev libbenchmark-dev busybox-static libcurl4-openssl-dev \
  libcli11-dev nlohmann-json3-dev python3 dpkg-dev file valgrind clang-14 libclang-rt-14-dev \
  llvm-14
