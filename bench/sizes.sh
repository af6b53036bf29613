#!/bin/bash
# Archive sizes and times on eight kinds of folder, side by side: the native
# arkiva (and another build of it, to compare), GNU tar's own -J, tar piped
# into xz on every core, and 7-Zip's xz (7zz, the 7zip package) fed by the
# same tar. Alternated, run by hand (not a test), after the native build:
#   bench/sizes.sh [RUNS] [OTHER_ARKIVA]
# (FOLDERS="Source Documents" measures only those of the eight; WAYS="arkiva
# tar-xz" only those ways; the xz first on PATH is the one measured, arkiva's
# and the others': PATH=/opt/xz-5.8.1/bin:$PATH measures another.)
# For each folder and way: the archive's size, the median wall time, the
# largest process's peak memory, and the memory a reader needs (xz -lvv).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
other=${2:-}
arkiva=$PWD/build/native/arkiva
source bench/mixed-data.sh
unset XZ_DEFAULTS XZ_OPT

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
       DISPLAY= WAYLAND_DISPLAY=
# Archive mode needs setup's menu key: a first start, in the bench's own home.
"$arkiva" >/dev/null 2>&1 || true
echo "machine: $(nproc) cores, $(awk '/^MemTotal/ {print int($2 / 1024)}' /proc/meminfo) MiB;" \
     "$(xz --version | head -1); $(7zz | sed -n 2p | cut -d: -f1); $(date -u +%Y-%m-%d)"

# The folders: a source tree, text documents, the mix, photos (random bytes,
# which nothing compresses), one large log; and real compressed files:
# downloads (Debian packages, about 150 MB of apt's cache), pictures (the
# system's JPEG and PNG images) and the system's documentation (half of it
# gzip'd changelogs).
mkdir -p "$work/in"
cp -r /usr/include "$work/in/Source"
mkdir "$work/in/Documents"
for f in /usr/share/doc/*/copyright; do
  d=${f%/copyright}
  cp "$f" "$work/in/Documents/${d##*/}.txt"
done
make_mixed_data "$work/in/Mixed Data"
mkdir "$work/in/Photos"
for i in $(seq 1 60); do head -c 1000000 /dev/urandom >"$work/in/Photos/IMG_$i.jpg"; done
mkdir "$work/in/Logs"
awk 'BEGIN { srand(1); split("GET POST PUT DELETE", verb, " "); split("200 200 200 304 404 500", code, " ");
  for (i = 0; i < 1200000; i++)
    printf "2026-12-%02d %02d:%02d:%02d.%03d web-%d app[%d]: %s /api/v1/items/%d %s %dms user=u%d\n",
      1 + i / 200000, (i / 3600) % 24, (i / 60) % 60, i % 60, int(rand() * 1000), int(rand() * 4),
      1000 + int(rand() * 50), verb[1 + int(rand() * 4)], int(rand() * 100000), code[1 + int(rand() * 6)],
      int(rand() * 900), int(rand() * 5000) }' >"$work/in/Logs/service.log"

mkdir "$work/in/Downloads" "$work/in/Pictures"
total=0
for deb in /var/cache/apt/archives/*.deb; do
  [ "$total" -lt 150000000 ] || break
  cp "$deb" "$work/in/Downloads/"
  total=$((total + $(stat -c %s "$deb")))
done
find /usr/share /usr/lib -xdev -type f \( -name '*.jpg' -o -name '*.jpeg' -o -name '*.png' \) \
     -size +4k 2>/dev/null | sort | while read -r picture; do
  cp "$picture" "$work/in/Pictures/$(echo "$picture" | tr / _)"
done
cp -r /usr/share/doc "$work/in/Doc"
echo "folders (MB):" $(cd "$work/in" && du -sb -- * | awk '{printf "%s %d, ", $2, $1 / 1e6}')

ways=(arkiva)
[ -z "$other" ] || ways+=(other)
ways+=(tar-J tar-xz 7zip)
[ -z "${WAYS:-}" ] || read -r -a ways <<<"$WAYS"
# run WAY FOLDER: makes $work/out/FOLDER.tar.xz
run() {
  local name=$2
  rm -f "$work/in/$name.tar" "$work/in/$name.tar.xz" "$work/out.tar.xz"
  case $1 in
    arkiva) "$arkiva" "$work/in/$name" 2>"$work/said" || cat "$work/said" >&2
            mv "$work/in/$name.tar.xz" "$work/out.tar.xz" ;;
    other) "$other" "$work/in/$name" 2>"$work/said" || cat "$work/said" >&2
           mv "$work/in/$name.tar.xz" "$work/out.tar.xz" ;;
    tar-J) tar -C "$work/in" -cJf "$work/out.tar.xz" "$name" ;;
    tar-xz) tar -C "$work/in" -cf - "$name" | xz -T0 >"$work/out.tar.xz" ;;
    7zip) tar -C "$work/in" -cf - "$name" | 7zz a -txz -si -bso0 -bsp0 "$work/out.tar.xz" ;;
  esac
}
export -f run
export arkiva other work

printf '%-11s %-8s %13s %9s %9s %8s %7s\n' folder way size seconds "peak MiB" "reader" blocks
for folder in ${FOLDERS:-Source Documents Mixed Photos Logs Downloads Pictures Doc}; do
  [ "$folder" != Mixed ] || folder="Mixed Data"
  for way in "${ways[@]}"; do : >"$work/t-$way"; done
  for i in $(seq 1 "$runs"); do
    for way in "${ways[@]}"; do
      sync
      /usr/bin/time -f "%e %M" -o "$work/time" bash -c 'run "$0" "$1"' "$way" "$folder"
      read -r seconds kib <"$work/time"
      echo "$seconds" >>"$work/t-$way"
      echo "$kib" >"$work/m-$way"
      stat -c %s "$work/out.tar.xz" >"$work/s-$way"
      xz --robot -lvv "$work/out.tar.xz" | awk -F'\t' '$1 == "summary" {print int(($2 + 1048575) / 1048576)} $1 == "totals" {print $3}' |
        paste -sd' ' >"$work/r-$way"
    done
  done
  for way in "${ways[@]}"; do
    read -r reader blocks <"$work/r-$way"
    printf '%-11s %-8s %13d %9.2f %9d %6d M %7s\n' "${folder%% *}" "$way" "$(cat "$work/s-$way")" \
      "$(median <"$work/t-$way")" "$(( $(cat "$work/m-$way") / 1024 ))" "$reader" "$blocks"
  done
done
