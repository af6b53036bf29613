#!/bin/bash
# xz on every core, as arkiva starts it by default, against XZ_DEFAULTS=-T1
# (xz's own single-threaded behaviour), side by side and alternated:
#   1. the native arkiva on ~64 MB of mixed files;
#   2. 15 folders of ~38 MB at once, as the shell starts them for a 15-item
#      selection: wall time, and the peak total resident memory of the xz
#      processes against the machine's memory;
#   3. arkiva.exe under Wine with the shipped xz.exe (Windows threads).
# Run by hand (not a test), after both builds:  bench/xz-threads.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
arkiva=$PWD/build/native/arkiva
build=$PWD/build/windows
source bench/mixed-data.sh
if [ -z "${DISPLAY:-}" ] && [ -x "$build/wine-run" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi
unset XZ_DEFAULTS

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export ARKIVA_REGISTRY=$work/registry.reg
DISPLAY= WAYLAND_DISPLAY= "$arkiva" >/dev/null 2>&1 </dev/null || true  # registers
src=$work/src/Mixed\ Data
make_mixed_data "$src"
mem_kib=$(awk '/^MemTotal/ {print $2}' /proc/meminfo)
echo "machine: $(nproc) cores, $((mem_kib / 1024)) MiB; $(xz --version | head -1); $(date -u +%Y-%m-%d)"
echo "input: $(du -sh "$src" | cut -f1) mixed files; command: bench/xz-threads.sh $runs"

# Prints "<median T1> <median default>" for a command run alternately both ways.
alternate() {
  local clean=$1; shift
  : >"$work/t1"; : >"$work/t0"
  for i in $(seq 1 "$runs"); do
    $clean; t0=$(now); XZ_DEFAULTS=-T1 "$@" 2>/dev/null; t1=$(now); echo "$t1 - $t0" | bc >>"$work/t1"
    $clean; t0=$(now); "$@" 2>/dev/null; t1=$(now); echo "$t1 - $t0" | bc >>"$work/t0"
  done
  echo "$(median <"$work/t1") $(median <"$work/t0")"
}
report() {  # label, T1 seconds, default seconds, target
  printf '%-14s -T1 %.2f s   default %.2f s   speedup %.2fx %s\n' "$1" "$2" "$3" "$(echo "$2 / $3" | bc -l)" "$4"
}

clean_one() { rm -f "$src.tar" "$src.tar.xz"; }
read -r single multi < <(alternate clean_one "$arkiva" "$src")
report "native" "$single" "$multi" "(target >= 1.5 on 2 cores)"

# 15 at once: every folder holds the same ~38 MB text (more than one 24 MiB
# block of xz -6, so that threads can share it).
for i in $(seq 1 15); do mkdir -p "$work/many/f$i" && ln "$src/text.txt" "$work/many/f$i/text.txt"; done
clean_many() { rm -f "$work"/many/*.tar "$work"/many/*.tar.xz; }
fifteen() {  # runs 15 arkivas at once, sampling the xz processes' total RSS
  local peak=0 rss
  for i in $(seq 1 15); do "$arkiva" "$work/many/f$i" 2>/dev/null & done
  while [ -n "$(jobs -r)" ]; do
    rss=$({ ps -C xz -o rss= || true; } | awk '{s += $1} END {print s + 0}')
    [ "$rss" -gt "$peak" ] && peak=$rss
    sleep 0.2
  done
  wait
  echo "$peak" >>"$work/peak-${XZ_DEFAULTS:-default}"
}
runs_saved=$runs; runs=1
read -r single multi < <(alternate clean_many fifteen)
runs=$runs_saved
report "15 at once" "$single" "$multi" "(2 cores are busy either way)"
for way in -T1 default; do
  peak=$(sort -n "$work/peak-$way" | tail -1)
  printf '%-14s peak xz resident memory %s: %d MiB of %d MiB (%.0f%%; bound: 50%%)\n' "15 at once" "$way" \
    $((peak / 1024)) $((mem_kib / 1024)) "$(echo "100 * $peak / $mem_kib" | bc -l)"
done

if [ -x "$build/wine-run" ]; then
  dos() { printf 'Z:%s' "${1//\//\\}"; }
  "$build/wine-run" reg add 'HKEY_CLASSES_ROOT\Directory\shell\Create tar.xz' /f >/dev/null 2>&1
  read -r single multi < <(alternate clean_one "$build/wine-run" "$build/arkiva.exe" "$(dos "$src")")
  report "wine" "$single" "$multi" "(target >= 1.5 on 2 cores; $("$build/wine-run" --version))"
fi
