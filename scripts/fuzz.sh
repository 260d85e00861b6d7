#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ (or
# $IXO_FUZZ_BUILD) and runs each one on its seed corpus fuzz/corpus/TARGET
# for SECONDS (default 300). New inputs go to build-fuzz/corpus/TARGET, never
# into the seeds; an input that breaks a target is kept in
# build-fuzz/artifacts/TARGET/ and fails the script.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-300}
[ $# -gt 0 ] && shift
jobs=${IXO_JOBS:-2}
build=${IXO_FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -DIXO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_all

targets=${*:-$(for source in fuzz/*.cpp; do basename "$source" .cpp; done)}
# The targets' simulated devices, rewritten at every input: in memory where
# possible (ext4 flushes a file rewritten in place when it is closed), and
# removed after every run, also after a run that broke a target.
TMPDIR=$(mktemp -d /dev/shm/ixo-fuzz.XXXXXX 2>/dev/null || mktemp -d)
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
failed=""
for target in $targets; do
  work=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/fuzz-$target.log
  mkdir -p "$work" "$artifacts"
  start=$(date +%s)
  # stdout closed: the EEPROM scan prints what it finds.
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -seed="${IXO_FUZZ_SEED:-1}" \
       -timeout=10 -rss_limit_mb=1024 \
       -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$artifacts/" \
       "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} runs in $(($(date +%s) - start)) s, no failure"
  else
    echo "fuzz $target: FAILED (log $log, input in $artifacts/)"
    grep -A30 -E '^==[0-9]+==ERROR|fuzz check failed|runtime error' "$log" | head -60 || true
    failed="$failed $target"
  fi
  rm -rf "${TMPDIR:?}"/ixo-fuzz-*
done
if [ -n "$failed" ]; then
  echo "fuzzing found failures in:$failed"
  exit 1
fi
