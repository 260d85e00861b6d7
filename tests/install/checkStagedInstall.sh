#!/bin/sh
# Installs the build into a staging directory, then checks the installed tree:
# the library with its SONAME links, the headers and pkg-config file (a small
# C program built against them alone, its agent services from the build's
# host library, loads the library with every symbol bound and runs a
# command), and ixoAgent in a folder of its own with the files its test mode
# copies and its manual page, run through a link in the bindir: it finds the
# installed library and works on a simulated device and in test mode.
#
# usage: checkStagedInstall.sh BUILD_DIR SOURCE_DIR C_COMPILER LIBDIR INCLUDEDIR BINDIR MANDIR
#          HOST_LIBS [CFLAGS...]
# HOST_LIBS: the build's host library and what it links, blank-separated.
set -eu
build=$1 source=$2 cc=$3 libdir=$4 includedir=$5 bindir=$6 mandir=$7 hostlibs=$8
shift 8
prefix=/opt/ixoplatformos
stage=$(mktemp -d "${TMPDIR:-/tmp}/ixo-stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
fail() { [ ! -f "$stage/out" ] || cat "$stage/out"; echo "FAIL: $*" >&2; exit 1; }
links() { [ "$(readlink "$top/$1")" = "$2" ] || fail "$1 is no link to $2"; }

DESTDIR=$stage/root cmake --install "$build" --prefix "$prefix" >"$stage/out" || fail "cmake --install"
top=$stage/root$prefix
links "$libdir/libIxoPlatformOs.so" libIxoPlatformOs.so.1
links "$libdir/libIxoPlatformOs.so.1" libIxoPlatformOs.so.1.0.0
links "$bindir/ixoAgent" ../lib/ixoAgent/ixoAgent
for file in "$source"/include/ixo/*.h "$source"/agent/testMode/*; do
  case $file in *.h) to=$includedir/ixo ;; *) to=lib/ixoAgent ;; esac
  cmp -s "$file" "$top/$to/$(basename "$file")" || fail "$(basename "$file") is not installed in $to"
done
gzip -t "$top/$mandir/man1/ixoAgent.1.gz" || fail "no manual page $mandir/man1/ixoAgent.1.gz"

# The pkg-config file names the install prefix; the staging directory is its sysroot.
grep -qx "prefix=$prefix" "$top/$libdir/pkgconfig/ixoplatformos.pc" ||
  fail "the pkg-config file names no prefix $prefix"
export PKG_CONFIG_PATH="$top/$libdir/pkgconfig" PKG_CONFIG_LIBDIR="$top/$libdir/pkgconfig"
export PKG_CONFIG_SYSROOT_DIR="$stage/root"
[ "$(pkg-config --modversion ixoplatformos)" = 1.0.0 ] ||
  fail "pkg-config does not know ixoplatformos 1.0.0"
# shellcheck disable=SC2086
"$cc" "$@" -std=c11 -Wall -Wextra -Werror $(pkg-config --cflags ixoplatformos) -o "$stage/loadLibrary" \
  "$source/tests/install/loadLibrary.c" -rdynamic -Wl,--whole-archive $hostlibs -Wl,--no-whole-archive \
  $(pkg-config --libs ixoplatformos) -lstdc++ -ldl ||
  fail "loadLibrary.c does not build against the installed files"
mkdir "$stage/device"
LD_LIBRARY_PATH="$top/$libdir" LD_BIND_NOW=1 "$stage/loadLibrary" "$stage/device" >"$stage/out" ||
  fail "loadLibrary"
grep -qx "library: $top/$libdir/libIxoPlatformOs.so.1" "$stage/out" ||
  fail "loadLibrary did not load the installed library"

# The installed agent loads the installed library, not the build's.
export HOME="$stage/home"
unset XDG_CACHE_HOME
agent=$top/$bindir/ixoAgent
"$agent" sim-init "$stage/sim" >"$stage/out" 2>&1 || fail "ixoAgent sim-init"
LD_DEBUG=files "$agent" --device-root "$stage/sim" commands >"$stage/out" 2>&1 ||
  fail "ixoAgent commands"
loaded=$(sed -n 's/.*file=\([^ ]*libIxoPlatformOs[^ ]*\) .*dynamically loaded by.*/\1/p' "$stage/out")
[ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$top/$libdir/libIxoPlatformOs.so.1")" ] ||
  fail "the installed ixoAgent loaded '$loaded', not the installed library"
"$agent" --device-root "$stage/sim" --test-mode registry get /tmp/system.conf Terminal name \
  >"$stage/out" 2>&1 && grep -qx "TC-TEST-0001" "$stage/out" ||
  fail "the installed ixoAgent's test mode did not read its copy"
echo "staged install under $prefix: library, headers, pkg-config file, ixoAgent and manual page work"
