#!/bin/sh
# Installs the build into a staging directory, then checks the installed tree:
# the library with its SONAME links, the headers and pkg-config file (a small
# C program built against them alone loads the library and runs "deleteFile"),
# and ixoAgent with its manual page: the executable in a folder of its own
# with the files its test mode copies, run through a link in the bindir, finds
# the installed library and works on a simulated device and in test mode.
#
# usage: checkStagedInstall.sh BUILD_DIR SOURCE_DIR C_COMPILER LIBDIR INCLUDEDIR BINDIR MANDIR [CFLAGS...]
set -eu
build=$1 source=$2 cc=$3 libdir=$4 includedir=$5 bindir=$6 mandir=$7
shift 7
prefix=/opt/ixoplatformos

stage=$(mktemp -d "${TMPDIR:-/tmp}/ixo-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$stage/root cmake --install "$build" --prefix "$prefix" >"$stage/install.log" ||
  { cat "$stage/install.log"; fail "cmake --install"; }
top=$stage/root$prefix

# The library, its SONAME link and its development link.
[ "$(readlink "$top/$libdir/libIxoPlatformOs.so")" = libIxoPlatformOs.so.1 ] ||
  fail "libIxoPlatformOs.so does not link to libIxoPlatformOs.so.1"
[ "$(readlink "$top/$libdir/libIxoPlatformOs.so.1")" = libIxoPlatformOs.so.1.0.0 ] ||
  fail "libIxoPlatformOs.so.1 does not link to libIxoPlatformOs.so.1.0.0"
[ -f "$top/$libdir/libIxoPlatformOs.so.1.0.0" ] && [ ! -L "$top/$libdir/libIxoPlatformOs.so.1.0.0" ] ||
  fail "no libIxoPlatformOs.so.1.0.0"
for header in "$source"/include/ixo/*.h; do
  cmp -s "$header" "$top/$includedir/ixo/$(basename "$header")" ||
    fail "header $(basename "$header") is not installed"
done
[ -x "$top/$bindir/ixoAgent" ] || fail "no $bindir/ixoAgent"
[ "$(readlink "$top/$bindir/ixoAgent")" = ../lib/ixoAgent/ixoAgent ] ||
  fail "$bindir/ixoAgent is no link to ../lib/ixoAgent/ixoAgent"
for file in system.conf dummy.control; do
  cmp -s "$source/agent/testMode/$file" "$top/lib/ixoAgent/$file" ||
    fail "lib/ixoAgent/$file is not installed beside the agent"
done
gzip -t "$top/$mandir/man1/ixoAgent.1.gz" || fail "no manual page $mandir/man1/ixoAgent.1.gz"

# The pkg-config file names the install prefix; the staging directory is its
# sysroot.
pc=$top/$libdir/pkgconfig/ixoplatformos.pc
grep -qx "prefix=$prefix" "$pc" || fail "$pc does not name the prefix $prefix"
export PKG_CONFIG_PATH="$top/$libdir/pkgconfig" PKG_CONFIG_LIBDIR="$top/$libdir/pkgconfig"
export PKG_CONFIG_SYSROOT_DIR="$stage/root"
[ "$(pkg-config --modversion ixoplatformos)" = 1.0.0 ] || fail "pkg-config does not know ixoplatformos 1.0.0"
cflags=$(pkg-config --cflags ixoplatformos)
libs=$(pkg-config --libs ixoplatformos)

# The program defines the agent services and exports them to the library;
# binding every symbol at start-up proves that nothing else is missing.
# shellcheck disable=SC2086
"$cc" "$@" -std=c11 -Wall -Wextra -Werror $cflags -o "$stage/loadLibrary" \
  "$source/tests/install/loadLibrary.c" -rdynamic $libs -ldl ||
  fail "loadLibrary.c does not build against the installed files"
mkdir "$stage/device"
LD_LIBRARY_PATH="$top/$libdir" LD_BIND_NOW=1 "$stage/loadLibrary" "$stage/device" >"$stage/run.out" ||
  { cat "$stage/run.out"; fail "loadLibrary"; }
cat "$stage/run.out"
grep -qx "library: $top/$libdir/libIxoPlatformOs.so.1" "$stage/run.out" ||
  fail "loadLibrary did not load the installed library"

# The installed agent loads the installed library (not the build's) and runs
# a command on a simulated device of its own.
export HOME="$stage/home"
unset XDG_CACHE_HOME
agent=$top/$bindir/ixoAgent
"$agent" sim-init "$stage/sim" >"$stage/agent.out" 2>&1 ||
  { cat "$stage/agent.out"; fail "ixoAgent sim-init"; }
LD_DEBUG=files "$agent" --device-root "$stage/sim" commands >"$stage/agent.out" 2>&1 ||
  { cat "$stage/agent.out"; fail "ixoAgent commands"; }
loaded=$(sed -n 's/.*file=\([^ ]*libIxoPlatformOs[^ ]*\) .*dynamically loaded by.*/\1/p' "$stage/agent.out")
[ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$top/$libdir/libIxoPlatformOs.so.1")" ] ||
  fail "the installed ixoAgent loaded '$loaded', not the installed library"
echo "x" >"$stage/sim/var/log/old-agent.log"
"$agent" --device-root "$stage/sim" run "$source/samples/deleteFile.xml" >"$stage/agent.out" 2>&1 ||
  { cat "$stage/agent.out"; fail "ixoAgent run deleteFile.xml"; }
grep -qx "result: 0" "$stage/agent.out" || { cat "$stage/agent.out"; fail "deleteFile did not succeed"; }
[ ! -e "$stage/sim/var/log/old-agent.log" ] || fail "the installed ixoAgent did not delete the file"
"$agent" --device-root "$stage/sim" --test-mode registry get /tmp/system.conf Terminal name \
  >"$stage/agent.out" 2>&1 || { cat "$stage/agent.out"; fail "ixoAgent --test-mode"; }
grep -qx "TC-TEST-0001" "$stage/agent.out" ||
  { cat "$stage/agent.out"; fail "the installed ixoAgent's test mode did not read its copy"; }
echo "staged install under $prefix: library, headers, pkg-config file, ixoAgent and manual page work"
