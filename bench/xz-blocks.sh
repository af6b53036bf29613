#!/bin/bash
# xz's block size from the input and the threads: the native arkiva's
# default against XZ_DEFAULTS=-T1 (one thread) and against the rule before
# it (-T0 with the same memory limit, xz's own 24 MiB blocks), alternated:
#   1. ~64 MB of mixed files (bench/mixed-data.sh);
#   2. ~256 MB (four such folders' files), where the block size should come
#      out as xz's own and the archive should be the same bytes.
# Reports median wall times, speedups, archive sizes and xz's block counts.
# Run by hand (not a test), after the native build:  bench/xz-blocks.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
arkiva=$PWD/build/native/arkiva
source bench/mixed-data.sh
unset XZ_DEFAULTS

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export ARKIVA_REGISTRY=$work/registry.reg
DISPLAY= WAYLAND_DISPLAY= "$arkiva" >/dev/null 2>&1 </dev/null || true  # registers
mem_kib=$(awk '/^MemTotal/ {print $2}' /proc/meminfo)
# The rule before: every core within half the memory, xz's own blocks.
before="-T0 --memlimit-compress=$((mem_kib / 2 / 1024))MiB"
echo "machine: $(nproc) cores, $((mem_kib / 1024)) MiB; $(xz --version | head -1); $(date -u +%Y-%m-%d)"
echo "command: bench/xz-blocks.sh $runs; before = XZ_DEFAULTS='$before'"

measure() {  # label, folder, ways...: medians of alternated runs of each way
  local label=$1 src=$2; shift 2
  local way
  for way in "$@"; do : >"$work/time-$way"; done
  for i in $(seq 1 "$runs"); do
    for way in "$@"; do
      rm -f "$src.tar" "$src.tar.xz"
      case $way in
        default) t0=$(now); "$arkiva" "$src" 2>/dev/null; t1=$(now) ;;
        T1) t0=$(now); XZ_DEFAULTS=-T1 "$arkiva" "$src" 2>/dev/null; t1=$(now) ;;
        before) t0=$(now); XZ_DEFAULTS="$before" "$arkiva" "$src" 2>/dev/null; t1=$(now) ;;
      esac
      echo "$t1 - $t0" | bc >>"$work/time-$way"
      stat -c %s "$src.tar.xz" >"$work/size-$way"
      xz --robot -lvv "$src.tar.xz" | awk '$1 == "totals" {print $3}' >"$work/blocks-$way"
      cp "$src.tar.xz" "$work/archive-$way"
    done
  done
  for way in "$@"; do
    printf '%-8s %-8s median %6.2f s  size %11s  blocks %3s\n' "$label" "$way" \
      "$(median <"$work/time-$way")" "$(cat "$work/size-$way")" "$(cat "$work/blocks-$way")"
  done
}
ratio() { echo "scale=2; $(median <"$work/time-$1") / $(median <"$work/time-$2")" | bc; }
size_change() {
  echo "scale=3; 100 * ($(cat "$work/size-$1") - $(cat "$work/size-$2")) / $(cat "$work/size-$2")" | bc
}

src=$work/src/Mixed\ Data
make_mixed_data "$src"
measure "64 MB" "$src" default T1 before
echo "64 MB    default is $(ratio T1 default)x faster than -T1 (target >= 1.8), $(ratio before default)x than before; size $(size_change default before)% against before (bound +0.5%)"

big=$work/big/Big
for i in 1 2 3 4; do make_mixed_data "$big/part$i"; done
echo "input: $(du -sh "$big" | cut -f1)"
runs=$(( runs < 3 ? runs : 3 ))
measure "256 MB" "$big" default before
if cmp -s "$work/archive-default" "$work/archive-before"; then same="the same bytes"; else same="DIFFERENT bytes"; fi
echo "256 MB   default against before: $(ratio before default)x, $same"
