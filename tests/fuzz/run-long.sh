#!/bin/bash
# Runs every fuzz target for SECONDS (default 600) each, after the native
# build (./dev.sh test or cmake --build --preset native):
#   tests/fuzz/run-long.sh [SECONDS]
# New inputs land in build/native/tests/fuzz/<target>.work/found; crashes as
# crash-* files there. Prints each target's executions and result.
set -uo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-600}
status=0
for bin in build/native/tests/fuzz/fuzz_*; do
  [ -f "$bin" ] && [ -x "$bin" ] || continue
  t=$(basename "$bin")
  work=build/native/tests/fuzz/$t.work
  mkdir -p "$work/found"
  (cd "$work" && "../$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 found \
     "../../../../../tests/fuzz/corpus/$t" >log 2>&1)
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$')
  echo "$t: ${runs:-?} executions, $([ $rc -eq 0 ] && echo "no finding" || echo "FINDING (see $work/log)")"
  [ $rc -eq 0 ] || status=1
done
exit $status
