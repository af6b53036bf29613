#!/bin/bash
# Pictures of what arkiva.exe shows, taken under Wine on an Xvfb screen:
# setup's box, the progress dialog during a run, and a failure's box.
# The shipped programs, unpacked into a fresh prefix as the zip would be.
#   wine.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$(realpath "$1")
out=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
if [ -z "${DISPLAY:-}" ]; then
  # A large screen: the dialog, centred, stays clear of xz's console at the
  # top left.
  exec xvfb-run -a -s "-screen 0 2560x1440x24" bash "$0" "$@"
fi
source "$here/../../tests/fresh-prefix.sh" screenshots
boot_prefix
# No window manager here: Wine draws the title bars itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v 'Marlett (TrueType)' /d marlett.ttf /f >/dev/null
wineserver -w
xsetroot -solid '#1f5f8b'
app="$WINEPREFIX/drive_c/Program Files/arkiva"
mkdir -p "$app"
cp "$build/arkiva.exe" "$build/tar.exe" "$build/xz.exe" "$app/"

# The first window titled TITLE, once it shows.
await_window() {
  local id
  for _ in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] &&
      { echo "$id"; return; }
    sleep 0.1
  done
  echo "wine.sh: no window named $1" >&2
  return 1
}

# The window and the screen around it, at least 600 pixels wide.
shoot() {
  local id=$1 name=$2 X Y WIDTH HEIGHT WINDOW SCREEN margin=48
  eval "$(xdotool getwindowgeometry --shell "$id")"
  local x=$X y=$Y w=$WIDTH h=$HEIGHT
  local width=$((w + 2 * margin)) height=$((h + 2 * margin))
  [ "$width" -ge 640 ] || width=640
  import -window root -crop "${width}x${height}+$((x + w / 2 - width / 2))+$((y - margin))" \
    +repage "$out/$name"
  echo "wine.sh: $out/$name"
}

# Setup's box, on the first start.
wine "$app/arkiva.exe" &
box=$(await_window "^Create tar")
sleep 1  # drawn
shoot "$box" windows-setup-box.png
xdotool key --window "$box" Return 2>/dev/null
wait

# The progress dialog, while xz compresses a folder of 150 MB.
mkdir -p "$work/items/Photos"
head -c 150M /dev/urandom >"$work/items/Photos/IMG_0001.raw"
wine "$app/arkiva.exe" "$(dos "$work/items/Photos")" &
dialog=$(await_window '^Create tar\.xz$')
for _ in $(seq 600); do
  xdotool search --onlyvisible --name '^"xz"' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 3  # the bar and the time left have moved
shoot "$dialog" windows-progress-dialog.png
status=0
wait $! || status=$?
xz -t "$work/items/Photos.tar.xz" || { echo "wine.sh: the run ended $status, its archive is not whole" >&2; exit 1; }
echo "wine.sh: the run ended $status"

# A failure's box: the archive is there already.
wine "$app/arkiva.exe" "$(dos "$work/items/Photos")" &
box=$(await_window '^Create tar\.xz$')
sleep 1
shoot "$box" windows-failure-box.png
xdotool key --window "$box" Return 2>/dev/null
wait
