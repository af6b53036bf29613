#!/bin/bash
# Makes the pictures in docs/images again, from the real programs of the
# native and Windows builds: Thunar's context menus (of a folder, of two
# files) as the desktop test right-clicks them, the progress window in a Wayland session, and under Wine
# setup's box, the progress dialog and a failure's box. Every picture is at
# least 600 pixels wide.
#   make.sh   (./dev.sh screenshots builds first, then runs it)
set -euo pipefail
cd "$(dirname "$0")/../.."
images=docs/images
shots=$(mktemp -d /tmp/arkiva-shots.XXXXXX)
trap 'rm -rf "$shots"' EXIT
chmod 777 "$shots"
# As a user sees it: Thunar warns root in a bar of its own. What runs is
# copied where the user nobody can read it, whoever owns the checkout.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin HOME=/tmp)
fi
mkdir "$shots/build"
cp -r build/native/arkiva build/native/arkiva-progress build/native/locale \
  tests/desktop/managers.py "$shots/build/"
chmod -R a+rX "$shots/build"
"${as_user[@]}" env ARKIVA_SHOTS="$shots" /usr/bin/python3 "$shots/build/managers.py" \
  "$shots/build/arkiva" thunar
# The window and its menu, without the empty screen around them: a folder's,
# and that of two files, with "Create one tar.xz".
convert "$shots/thunar-menu.png" -bordercolor black -border 1 -trim +repage \
  "$images/thunar-context-menu.png"
convert "$shots/thunar-one-menu.png" -bordercolor black -border 1 -trim +repage \
  "$images/thunar-one-archive-menu.png"

ARKIVA_SHOTS="$shots" bash tests/desktop/wayland_session.sh build/native \
  ProgressWindow.test_a_big_folder_shows_one_window_then_one_notice
# sway places the window in the middle of the screen.
window=$(ls "$shots"/window-*.png | head -1)
convert "$window" -gravity center -crop 640x300+0+0 +repage "$images/linux-progress-window.png"

bash tools/screenshots/wine.sh build/windows "$images"

for picture in "$images"/*.png; do
  width=$(identify -format %w "$picture")
  [ "$width" -ge 600 ] || { echo "make.sh: $picture is $width pixels wide" >&2; exit 1; }
  echo "$picture: $(identify -format %wx%h "$picture")"
done
