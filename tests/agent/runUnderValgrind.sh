#!/bin/sh
# Runs the command line's suite with every ixoAgent run under Valgrind's memcheck:
# a memory error or a leak in any run fails it (exit status 99 of the run,
# and its report, printed here).
#
# usage: runUnderValgrind.sh TEST_AGENT LOG_DIR [GTEST_OPTIONS...]
# LOG_DIR must have no blanks in its path.
set -eu
suite=$1
logs=$2
shift 2
rm -rf "$logs"
mkdir -p "$logs"
export IXO_AGENT_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full \
--show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
--log-file=$logs/agent.%p.log"
# Valgrind 3.19 does not know openat2 (syscall 437) and says so: the agent
# and the library then resolve device paths without it, so that notice is
# no error. Prints the rest of the log.
report() {
  awk '/^--[0-9]+-- WARNING: unhandled [a-z0-9]+-linux syscall: 437$/ { skip = 4; next }
       skip > 0 && /^--[0-9]+-- / { skip--; next }
       { skip = 0; print }' "$1"
}
status=0
"$suite" "$@" || status=$?
runs=0
for log in "$logs"/agent.*.log; do
  [ -e "$log" ] || continue
  runs=$((runs + 1))
  if [ -n "$(report "$log")" ]; then
    echo "== Valgrind: $log"
    report "$log"
    status=1
  fi
done
[ "$runs" -gt 0 ] || { echo "no ixoAgent run went through Valgrind"; status=1; }
[ "$status" -eq 0 ] && echo "$runs ixoAgent runs under Valgrind: no error, no leak"
exit $status
