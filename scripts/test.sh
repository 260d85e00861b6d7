#!/bin/sh
# Builds and runs every test: a normal build, a build with AddressSanitizer
# and UndefinedBehaviorSanitizer, the device's 32-bit build of everything
# with its layout checks, and a short run of every fuzz target (scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${IXO_JOBS:-2}

echo "== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
echo "== Debian packages (amd64)"
tests/install/checkPackages.sh build

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DIXO_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

echo "== the device's 32-bit build (i386): library, agent, simulator, tests"
scripts/install-deps-i386.sh
scripts/enable-i386-programs.sh
cmake -S . -B build-i386 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i386-linux-gnu.cmake" \
  -DIXO_GTEST_FROM_SOURCE=/usr/src/googletest >/dev/null
cmake --build build-i386 -j"$jobs"
file build-i386/libIxoPlatformOs.so.1 build-i386/ixoAgent 2>/dev/null || true
(cd build-i386 && ctest --output-on-failure -j"$jobs")
tests/checkLibrarySymbols.sh build-i386/libIxoPlatformOs.so include/ixo/agent.h
cmake -DC_COMPILER=cc -DCXX_COMPILER=c++ -DEXTRA_FLAGS=-m32 -DINCLUDE_DIR="$PWD/include" \
  -DWORK_DIR="$PWD/build-i386/headers" -P tests/checkHeaders.cmake
tests/install/checkPackages.sh build-i386

echo "== fuzzing (clang, libFuzzer), a short bounded run of every target"
scripts/fuzz.sh "${IXO_FUZZ_SECONDS:-15}"

echo "all tests passed"
