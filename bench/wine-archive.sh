#!/bin/bash
# Benchmarks arkiva.exe under Wine against the shipped tar.exe and xz.exe
# started directly by cmd with the same argument lines (xz, as from arkiva, in
# a console window of its own), on ~64 MB of mixed files, alternated. Run by hand (not a test), after the Windows build:
#   bench/wine-archive.sh [RUNS]
# Prints the median wall times and their ratio. FOLDER=/path archives a copy
# of that folder instead; THREADS=2 gives both runs XZ_DEFAULTS=-T2 in place
# of -T1 (arkiva then plans the rest as it would for the user).
set -euo pipefail
[ -n "${TRACE:-}" ] && set -x
cd "$(dirname "$0")/.."
runs=${1:-5}
build=$PWD/build/windows
[ -x "$build/wine-run" ] || { cmake --preset windows >/dev/null && cmake --build --preset windows >/dev/null; }
source bench/mixed-data.sh
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi

work=$(mktemp -d /tmp/arkiva-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
dos() { printf 'Z:%s' "${1//\//\\}"; }
wine_run() { "$build/wine-run" "$@"; }
# arkiva's own cost, like for like: xz single-threaded in both runs, as the
# user's XZ_DEFAULTS makes it (bench/xz-threads.sh measures the threads).
export XZ_DEFAULTS=-T${THREADS:-1}

# Both runs use the tar.exe and xz.exe of realbin, the ones the release ships.
# Archive mode needs the folder menu key.
wine_run reg add 'HKEY_CLASSES_ROOT\Directory\shell\Create tar.xz' /f >/dev/null
name=Mixed\ Data
if [ -n "${FOLDER:-}" ]; then
  name=$(basename "$FOLDER")
  mkdir -p "$work/src" && cp -r "$FOLDER" "$work/src/$name"
else
  make_mixed_data "$work/src/$name"
fi
du -sh "$work/src/$name" | sed 's/^/input: /'
# xz in a console window of its own, as arkiva starts it: Wine's console
# costs some tenths of a second to start, which is not arkiva's doing.
printf '@"%s" cf "%s.tar" "%s"\r\n@if errorlevel 1 exit /b 1\r\n@start "xz" /wait "%s" -zv "%s.tar"\r\n' \
  "$(dos "$build/realbin/tar.exe")" "$name" "$name" "$(dos "$build/realbin/xz.exe")" "$name" \
  >"$work/src/direct.cmd"

: >"$work/a"; : >"$work/b"
for i in $(seq 1 "$runs"); do
  rm -f "$work/src/$name.tar.xz"
  t0=$(now); wine_run "$build/arkiva.exe" "$(dos "$work/src/$name")" 2>/dev/null; t1=$(now)
  echo "$t1 - $t0" | bc >>"$work/a"
  [ -f "$work/src/$name.tar.xz" ] || { echo "arkiva.exe made no archive"; exit 1; }
  rm -f "$work/src/$name.tar.xz"
  t0=$(now); (cd "$work/src" && wine_run cmd /c direct.cmd 2>/dev/null); t1=$(now)
  echo "$t1 - $t0" | bc >>"$work/b"
  [ -f "$work/src/$name.tar.xz" ] || { echo "the direct run made no archive"; exit 1; }
  printf 'run %d: arkiva.exe %.2f s, tar.exe + xz.exe %.2f s, %d B\n' "$i" "$(tail -1 "$work/a")" \
    "$(tail -1 "$work/b")" "$(stat -c %s "$work/src/$name.tar.xz")"
done
a=$(median <"$work/a"); b=$(median <"$work/b")
printf 'wine archive  arkiva.exe %.3f s   tar.exe+xz.exe %.3f s   ratio %.4f (target <= 1.02)\n' "$a" "$b" "$(echo "$a / $b" | bc -l)"
echo "machine: $(nproc) cores; $(wine_run --version); $(date -u +%Y-%m-%d); command: bench/wine-archive.sh $runs"
