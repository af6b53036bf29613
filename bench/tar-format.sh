#!/bin/bash
# What the pax format costs on Linux: GNU tar's default format (arkiva's line
# before) against the pax line arkiva runs, each piped into the same xz, on
# the ~64 MB mix and on a folder of 3,000 small text files. Alternated, run
# by hand (not a test):
#   bench/tar-format.sh [RUNS]
# Prints each folder's archive sizes and median wall times, and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
source bench/mixed-data.sh
make_mixed_data "$work/Mixed Data"
mkdir "$work/Small Files"
ls -d /usr/share/doc/*/ | head -n 3000 | while read -r d; do
  [ -f "$d/copyright" ] && cp "$d/copyright" "$work/Small Files/$(basename "$d").txt"
done
pax=(--format=posix --pax-option=delete=atime,delete=ctime,delete=mtime)

printf '%-12s %12s %12s %9s %9s %9s\n' folder "gnu B" "pax B" "gnu s" "pax s" ratio
for folder in "Mixed Data" "Small Files"; do
  : >"$work/t-gnu"; : >"$work/t-pax"
  for i in $(seq 1 "$runs"); do
    for format in gnu pax; do
      options=()
      [ $format = gnu ] || options=("${pax[@]}")
      t0=$(now)
      (cd "$work" && tar cf - "${options[@]}" "$folder" | xz -T0 >"$work/$format.tar.xz")
      t1=$(now)
      echo "$t1 - $t0" | bc >>"$work/t-$format"
    done
  done
  gnu=$(median <"$work/t-gnu"); pax_t=$(median <"$work/t-pax")
  printf '%-12s %12d %12d %9.3f %9.3f %9.3f\n' "${folder%% *}" "$(stat -c %s "$work/gnu.tar.xz")" \
    "$(stat -c %s "$work/pax.tar.xz")" "$gnu" "$pax_t" "$(echo "$pax_t / $gnu" | bc -l)"
done
