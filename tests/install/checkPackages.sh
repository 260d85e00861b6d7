#!/bin/sh
# Builds the Debian packages of a build directory (cpack -G DEB) and checks
# what each one holds and declares: libixoplatformos1, libixoplatformos-dev
# and, when the build has the agent, ixoagent.
#
# usage: checkPackages.sh BUILD_DIR
set -eu
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
setting() { sed -n "s/^set($1 \"\\(.*\\)\")$/\\1/p" "$build/CPackConfig.cmake"; }

architecture=$(setting CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
components=$(setting CPACK_COMPONENTS_ALL | tr ';' ' ')
version=$(setting CPACK_PACKAGE_VERSION)
[ -n "$architecture" ] && [ -n "$components" ] && [ -n "$version" ] ||
  fail "$build/CPackConfig.cmake has no architecture, components or version"

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; fail "cpack -G DEB"; }

contents() { dpkg-deb -c "$1" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }'; }
holds() {
  contents "$1" | grep -qx "$2" || { contents "$1"; fail "$(basename "$1") does not hold $2"; }
}
lacks() {
  ! contents "$1" | grep -q "$2" || fail "$(basename "$1") holds $2"
}
declares() {
  value=$(dpkg-deb -f "$1" "$2")
  printf '%s\n' "$value" | grep -q -- "$3" || fail "$(basename "$1"): $2 is '$value', expected $3"
}
package() {
  file=$build/$1_${version}_$architecture.deb
  [ -f "$file" ] || fail "cpack made no $(basename "$file")"
  declares "$file" Architecture "^$architecture\$"
  declares "$file" Maintainer ".* <.*@.*>"
  echo "$file"
}

library=$(package libixoplatformos1)
holds "$library" "./usr/lib/.*libIxoPlatformOs\\.so\\.1\\.0\\.0"
holds "$library" "./usr/lib/.*libIxoPlatformOs\\.so\\.1 -> libIxoPlatformOs\\.so\\.1\\.0\\.0"
lacks "$library" "include/\\|\\.so ->\\|pkgconfig\\|bin/"
declares "$library" Depends "libc6"
declares "$library" Depends "libstdc++6"
dpkg-deb -I "$library" shlibs | grep -qx "libIxoPlatformOs 1 libixoplatformos1 (>= $version)" ||
  fail "libixoplatformos1 has no shlibs entry"

development=$(package libixoplatformos-dev)
holds "$development" "./usr/include/ixo/ixo.h"
holds "$development" "./usr/include/ixo/agent.h"
holds "$development" "./usr/lib/.*libIxoPlatformOs\\.so -> libIxoPlatformOs\\.so\\.1"
holds "$development" "./usr/lib/.*pkgconfig/ixoplatformos\\.pc"
lacks "$development" "^\\./[^ ]*\\.so\\.1\\|bin/"
declares "$development" Depends "libixoplatformos1 (= $version)"
dpkg-deb --fsys-tarfile "$development" | tar -xO --wildcards '*/ixoplatformos.pc' | grep -qx "prefix=/usr" ||
  fail "the packaged pkg-config file does not name the prefix /usr"

case " $components " in
  *" agent "*)
    agent=$(package ixoagent)
    holds "$agent" "./usr/bin/ixoAgent -> \\.\\./lib/ixoAgent/ixoAgent"
    holds "$agent" "./usr/lib/ixoAgent/ixoAgent"
    holds "$agent" "./usr/lib/ixoAgent/system\\.conf"
    holds "$agent" "./usr/lib/ixoAgent/dummy\\.control"
    holds "$agent" "./usr/share/man/man1/ixoAgent\\.1\\.gz"
    lacks "$agent" "^\\./[^ ]*\\.so\\|include/"
    declares "$agent" Depends "libixoplatformos1 (= $version)"
    declares "$agent" Depends "busybox-static"
    ;;
esac
echo "Debian packages for $architecture ($components) built and checked in $build"
