#!/bin/bash
# Benchmarks the native arkiva against running tar and xz by hand, a no-op
# start against /bin/true, the size of arkiva.exe and the native process's
# peak memory. Run by hand (not a test), after both builds:
#   bench/archive.sh [RUNS]
# Prints a table of median wall times and their ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
arkiva=$PWD/build/native/arkiva
[ -x "$arkiva" ] || { cmake --preset native >/dev/null && cmake --build --preset native >/dev/null; }

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export ARKIVA_REGISTRY=$work/registry.reg
# arkiva's own cost, like for like: xz single-threaded in both runs, as the
# user's XZ_DEFAULTS makes it (bench/xz-threads.sh measures the threads).
export XZ_DEFAULTS=-T1
# Archive mode needs the menu key: a first start registers it.
DISPLAY= WAYLAND_DISPLAY= "$arkiva" >/dev/null 2>&1 </dev/null || true

source bench/mixed-data.sh
src=$work/src/Mixed\ Data
make_mixed_data "$src"
du -sh "$src" | sed 's/^/input: /'

: >"$work/a"; : >"$work/b"
for i in $(seq 1 "$runs"); do
  rm -f "$work/src/Mixed Data.tar" "$work/src/Mixed Data.tar.xz"
  t0=$(now); "$arkiva" "$src" 2>/dev/null; t1=$(now)
  echo "$t1 - $t0" | bc >>"$work/a"
  rm -f "$work/src/Mixed Data.tar.xz"
  t0=$(now); (cd "$work/src" && tar cf "Mixed Data.tar" "Mixed Data" && xz -zv "Mixed Data.tar" 2>/dev/null); t1=$(now)
  echo "$t1 - $t0" | bc >>"$work/b"
done
a=$(median <"$work/a"); b=$(median <"$work/b")
printf 'archive run   arkiva %.3f s   tar+xz %.3f s   ratio %.4f (target <= 1.01)\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"

: >"$work/a"; : >"$work/b"
for i in $(seq 1 $((runs * 40))); do
  t0=$(now); "$arkiva"; t1=$(now); echo "$t1 - $t0" | bc >>"$work/a"
  t0=$(now); /bin/true; t1=$(now); echo "$t1 - $t0" | bc >>"$work/b"
done
a=$(median <"$work/a"); b=$(median <"$work/b")
printf 'no-op start   arkiva %.5f s   /bin/true %.5f s   ratio %.2f (target <= 3)\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"

exe=build/windows/arkiva.exe
if [ -f "$exe" ]; then
  size=$(stat -c %s "$exe")
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
  printf 'arkiva.exe    %d bytes (%.0f KiB, target <= 256 KiB); imports: %s\n' "$size" "$(echo "$size / 1024" | bc -l)" "$dlls"
fi
rm -f "$work/src/Mixed Data.tar" "$work/src/Mixed Data.tar.xz"
# /usr/bin/time would count xz, which arkiva waits for: read arkiva's own
# high-water mark from /proc while it runs.
"$arkiva" "$src" 2>/dev/null &
pid=$!
rss=0
while kill -0 $pid 2>/dev/null; do
  hwm=$(awk '/^VmHWM/ {print $2}' /proc/$pid/status 2>/dev/null || true)
  [ -n "$hwm" ] && [ "$hwm" -gt "$rss" ] && rss=$hwm
  sleep 0.05
done
wait $pid || true
printf 'peak memory   arkiva %s KiB during an archive run (target <= 4096 KiB; tar and xz not counted)\n' "$rss"
echo "machine: $(nproc) cores; $(date -u +%Y-%m-%d); command: bench/archive.sh $runs"
