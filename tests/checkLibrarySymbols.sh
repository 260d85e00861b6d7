#!/bin/sh
# Fails when the library needs a symbol at load time that is neither an agent
# service declared in agent.h nor provided by the C or C++ runtime.
set -eu
library=$1
agent_header=$2
allowed=$(grep -oE '[A-Za-z_][A-Za-z0-9_]*\(' "$agent_header" | tr -d '(' ; echo poweroff2MBBios)
missing=0
for symbol in $(nm -D --undefined-only "$library" | awk '{print $NF}'); do
  case "$symbol" in
    *@GLIBC_*|*@GLIBCXX_*|*@CXXABI_*|*@GCC_*) continue ;;
    __gmon_start__|_ITM_*|__cxa_finalize|_Jv_RegisterClasses) continue ;;
    __asan_*|__ubsan_*|__sanitizer_*|__lsan_*) continue ;;
  esac
  if ! printf '%s\n' $allowed | grep -qx "$symbol"; then
    echo "unexpected undefined symbol: $symbol"
    missing=1
  fi
done
soname=$(objdump -p "$library" | awk '/SONAME/ {print $2}')
if [ "$soname" != "libIxoPlatformOs.so.1" ]; then
  echo "SONAME is '$soname', expected libIxoPlatformOs.so.1"
  missing=1
fi
[ $missing -eq 0 ] && echo "library needs only the agent services and the runtimes"
exit $missing
