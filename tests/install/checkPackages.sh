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

# check PACKAGE 'LACKED' [HELD...]: the package exists for the architecture,
# holds every HELD path (a pattern) and nothing that matches LACKED.
check() {
  file=$build/$1_${version}_$architecture.deb lacked=$2
  shift 2
  [ -f "$file" ] || fail "cpack made no $(basename "$file")"
  dpkg-deb -c "$file" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$build/contents"
  for held in "$@"; do
    grep -qx "$held" "$build/contents" ||
      { cat "$build/contents"; fail "$(basename "$file") does not hold $held"; }
  done
  ! grep -q "$lacked" "$build/contents" || fail "$(basename "$file") holds $lacked"
  declares Architecture "^$architecture\$"
  declares Maintainer ".* <.*@.*>"
}
declares() {
  value=$(dpkg-deb -f "$file" "$1")
  printf '%s\n' "$value" | grep -q -- "$2" || fail "$(basename "$file"): $1 is '$value', expected $2"
}

check libixoplatformos1 "include/\\|\\.so ->\\|pkgconfig\\|bin/" \
  "./usr/lib/.*libIxoPlatformOs\\.so\\.1\\.0\\.0" \
  "./usr/lib/.*libIxoPlatformOs\\.so\\.1 -> libIxoPlatformOs\\.so\\.1\\.0\\.0"
declares Depends "libc6"
declares Depends "libstdc++6"
dpkg-deb -I "$file" shlibs | grep -qx "libIxoPlatformOs 1 libixoplatformos1 (>= $version)" ||
  fail "libixoplatformos1 has no shlibs entry"

check libixoplatformos-dev "^\\./[^ ]*\\.so\\.1\\|bin/" "./usr/include/ixo/ixo.h" \
  "./usr/include/ixo/agent.h" "./usr/lib/.*libIxoPlatformOs\\.so -> libIxoPlatformOs\\.so\\.1" \
  "./usr/lib/.*pkgconfig/ixoplatformos\\.pc"
declares Depends "libixoplatformos1 (= $version)"
dpkg-deb --fsys-tarfile "$file" | tar -xO --wildcards '*/ixoplatformos.pc' | grep -qx "prefix=/usr" ||
  fail "the packaged pkg-config file does not name the prefix /usr"

case " $components " in
  *" agent "*)
    check ixoagent "^\\./[^ ]*\\.so\\|include/" "./usr/bin/ixoAgent -> \\.\\./lib/ixoAgent/ixoAgent" \
      "./usr/lib/ixoAgent/ixoAgent" "./usr/lib/ixoAgent/system\\.conf" \
      "./usr/lib/ixoAgent/dummy\\.control" \
      "./usr/share/man/man1/ixoAgent\\.1\\.gz"
    declares Depends "libixoplatformos1 (= $version)"
    declares Depends "busybox-static"
    ;;
esac
rm -f "$build/contents"
echo "Debian packages for $architecture ($components) built and checked in $build"
