#!/bin/bash
# The progress window in a Wayland-only session (a headless sway, no
# Xwayland, no DISPLAY), as an unprivileged user with a runtime folder of
# their own, as a desktop session has: a big folder shows one window and is
# archived exactly, and closing the window cancels during tar and xz.
# As root, the run is nobody's, with copies of the build's programs that
# nobody may read.
#   wayland_session.sh BUILD_DIR [TEST...]   (by default the two above)
set -euo pipefail
build=$1
shift
tests=("$@")
[ ${#tests[@]} -gt 0 ] || tests=(ProgressWindow.test_a_big_folder_shows_one_window_then_one_notice
                                 ProgressWindow.test_cancel_during_tar_and_during_xz)
work=$(mktemp -d /tmp/arkiva-wayland.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/home" "$work/build"
cp -r "$build/arkiva" "$build/arkiva-progress" "$build/locale" "$work/build/"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$work"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
chmod 700 "$work/run"
"${as_user[@]}" env -i HOME="$work/home" XDG_RUNTIME_DIR="$work/run" PATH=/usr/bin:/bin \
  ${ARKIVA_SHOTS:+ARKIVA_SHOTS="$ARKIVA_SHOTS"} \
  dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/progress_window.py" "$work/build" \
  --wayland "${tests[@]}"
