#!/bin/bash
# What the progress display costs: the native arkiva on a large folder (four
# copies of the mixed data, ~250 MB) with a display, where it shows its
# window and asks xz for its progress four times a second, against the same
# run without a display, which shows nothing. Runs alternate, side by side.
# Run by hand, after the native build:
#   bench/progress.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
arkiva=$PWD/build/native/arkiva
[ -x "$arkiva" ] && [ -x build/native/arkiva-progress ] || {
  cmake --preset native >/dev/null && cmake --build --preset native >/dev/null; }

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
Xvfb :97 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb; rm -rf "$work"' EXIT

source bench/mixed-data.sh
make_mixed_data "$work/one"
mkdir "$work/Large"
for i in 1 2 3 4; do cp -r "$work/one" "$work/Large/part$i"; done
rm -rf "$work/one"
du -sh "$work/Large" | sed 's/^/input: /'

run() {  # run DISPLAY: one archive run, its wall time appended to $work/DISPLAY
  rm -f "$work/Large.tar.xz"
  local t0 t1
  t0=$(now); DISPLAY=$1 WAYLAND_DISPLAY= "$arkiva" -- "$work/Large" 2>/dev/null; t1=$(now)
  echo "$t1 - $t0" | bc >>"$work/times$1"
}
for i in $(seq 1 "$rounds"); do run :97; run ""; done
a=$(median <"$work/times:97"); b=$(median <"$work/times")
printf 'large folder  with progress %.2f s   without %.2f s   ratio %.4f (target <= 1.01)\n' \
  "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "machine: $(nproc) cores; $(date -u +%Y-%m-%d); command: bench/progress.sh $rounds"
