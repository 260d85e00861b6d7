#!/bin/sh
# Builds and runs every test: a normal build, a build with AddressSanitizer
# and UndefinedBehaviorSanitizer, and the device's 32-bit library with its
# layout checks.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${IXO_JOBS:-2}

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DIXO_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

echo "== 32-bit device library"
cmake -S . -B build-m32 -DIXO_LIBRARY_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32 >/dev/null
cmake --build build-m32 -j"$jobs"
file build-m32/libIxoPlatformOs.so.1 2>/dev/null || true
tests/checkLibrarySymbols.sh build-m32/libIxoPlatformOs.so include/ixo/agent.h
cmake -DC_COMPILER=cc -DCXX_COMPILER=c++ -DEXTRA_FLAGS=-m32 -DINCLUDE_DIR="$PWD/include" \
  -DWORK_DIR="$PWD/build-m32/headers" -P tests/checkHeaders.cmake

echo "all tests passed"
