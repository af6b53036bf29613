#!/bin/bash
# What a run's record and its sync cost: this build's native arkiva against
# another's (one without them), side by side, alternating, on a selection
# of 200 small files (200 records, 200 syncs) and on the 64 MB mix. Run by
# hand (not a test):
#   bench/record-cost.sh OTHER_ARKIVA [RUNS]
# Prints the median wall times and their ratios (this build / the other).
set -euo pipefail
cd "$(dirname "$0")/.."
other=$1
runs=${2:-5}
arkiva=$PWD/build/native/arkiva
[ -x "$arkiva" ] || { cmake --preset native >/dev/null && cmake --build --preset native >/dev/null; }

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export ARKIVA_REGISTRY=$work/registry.reg XDG_STATE_HOME=$work/state XZ_DEFAULTS=-T1
DISPLAY= WAYLAND_DISPLAY= "$arkiva" >/dev/null 2>&1 </dev/null || true
source bench/mixed-data.sh
make_mixed_data "$work/mix/Mixed Data"

small() {
  rm -rf "$work/small"
  mkdir -p "$work/small"
  for i in $(seq 1 200); do head -c 4000 /dev/urandom | base64 >"$work/small/f$i.txt"; done
}
timed() { local t0 t1; t0=$(now); "$@" 2>/dev/null; t1=$(now); echo "$t1 - $t0" | bc; }

for case in small mix; do
  : >"$work/new"; : >"$work/old"
  for i in $(seq 1 "$runs"); do
    for build in new old; do
      program=$arkiva; [ $build = new ] || program=$other
      if [ $case = small ]; then
        small
        timed "$program" "$work"/small/f*.txt >>"$work/$build"
      else
        rm -f "$work/mix/Mixed Data.tar.xz"
        timed "$program" "$work/mix/Mixed Data" >>"$work/$build"
      fi
    done
  done
  a=$(median <"$work/new"); b=$(median <"$work/old")
  printf '%-5s  this build %.3f s   the other %.3f s   ratio %.3f\n' "$case" "$a" "$b" \
    "$(echo "$a / $b" | bc -l)"
done
echo "machine: $(nproc) cores; $(date -u +%Y-%m-%d); command: bench/record-cost.sh $other $runs"
