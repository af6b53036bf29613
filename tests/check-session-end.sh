#!/bin/bash
# The Windows session ends while arkiva works: `wineboot --end-session` sends
# WM_QUERYENDSESSION and WM_ENDSESSION to every top-level window, then ends
# every process. During tar (the recording stand-in, which writes slowly)
# and during xz (the real one, on data that does not compress), arkiva
# cancels its run in time: nothing of the run is left, no record of it, the
# folder is unchanged, and the next start archives it.
#   check-session-end.sh BUILD_DIR
set -euo pipefail
build=$1
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi
source "$(dirname "$0")/fresh-prefix.sh" session-end
fail() { echo "$1"; exit 1; }

boot_prefix
mkdir -p "$work/real" "$work/slow" "$work/items/Big"
cp "$build/arkiva.exe" "$build/realbin/tar.exe" "$build/realbin/xz.exe" "$work/real/"
cp "$build/arkiva.exe" "$build/realbin/xz.exe" "$work/slow/"
cp "$build/recbin/tar.exe" "$work/slow/tar.exe"
head -c 24M /dev/urandom >"$work/items/Big/noise"
before=$(sha256sum <"$work/items/Big/noise")
wine reg add 'HKLM\Software\Classes\Directory\shell\Create tar.xz' /f >/dev/null
records=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -ipath '*AppData/Local' -print -quit)/arkiva

for step in tar xz; do
  folder=$work/real awaited=Big.tar.xz
  [ $step = xz ] || folder=$work/slow awaited=Big.tar
  ARKIVA_RECORD=$(dos "$work/record.log") ARKIVA_RECORD_WRITE=$(dos "$work/items/Big.tar") \
    ARKIVA_RECORD_GROW=300 wine "$(dos "$folder/arkiva.exe")" "$(dos "$work/items/Big")" &
  for _ in $(seq 300); do
    [ -e "$work/items/$awaited" ] && break
    sleep 0.1
  done
  [ -e "$work/items/$awaited" ] || fail "$step: $awaited never came"
  sleep 0.5
  wineboot --end-session >/dev/null 2>&1 || true
  wait || true
  wineserver -w
  left=$(ls "$work/items" | tr '\n' ' ')
  [ "$left" = "Big " ] || fail "$step: left after the session's end: $left"
  [ -z "$(ls "$records"/*.record 2>/dev/null)" ] || fail "$step: records left: $(ls "$records")"
  [ "$(sha256sum <"$work/items/Big/noise")" = "$before" ] || fail "$step: the folder changed"
done

wine "$(dos "$work/real/arkiva.exe")" "$(dos "$work/items/Big")"
wineserver -w
[ "$(tar -tJf "$work/items/Big.tar.xz" | tr '\n' ' ')" = "Big/ Big/noise " ] ||
  fail "the next start did not archive Big"
echo "the session's end during tar and during xz left nothing; the next start archived"
