#!/bin/bash
# arkiva's boxes ask for the front: Explorer starts arkiva.exe through a
# verb or COM, so it is not the foreground program, and a box without
# MB_SETFOREGROUND (0x10000) may only flash in the taskbar. Wine's relay
# trace shows the flags user32.MessageBoxW gets for a failure's box, in a
# prefix of its own (set up, so that a start is a run).
#   check-box-flags.sh BUILD_DIR
set -euo pipefail
build=$1
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi
source "$(dirname "$0")/fresh-prefix.sh" box-flags
boot_prefix
wine reg add 'HKLM\Software\Classes\Directory\shell\Create tar.xz' /f >/dev/null
# Only the calls that show boxes are traced, not every call.
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'user32.MessageBoxW' /f >/dev/null
wineserver -w
# An arkiva.exe without its tar.exe fails at once and says so in a box.
mkdir -p "$work/lone" "$work/items/data"
cp "$build/arkiva.exe" "$work/lone/"
WINEDEBUG=-all,+relay wine "$work/lone/arkiva.exe" "$(dos "$work/items/data")" 2>"$work/relay.txt" &
call=""
for _ in $(seq 600); do
  call=$(grep -a -m1 "Call user32.MessageBoxW(" "$work/relay.txt" || true)
  [ -z "$call" ] && kill -0 $! 2>/dev/null || break
  sleep 0.1
done
[ -n "$call" ] || { echo "no MessageBoxW call in the relay trace"; exit 1; }
flags=$(sed 's/.*,\([0-9a-fA-F]\{8\}\)) ret=.*/\1/' <<<"$call")
if (((16#$flags & 0x10000) == 0)); then
  echo "the box has no MB_SETFOREGROUND: $call"
  exit 1
fi
echo "MessageBoxW flags $flags: MB_SETFOREGROUND"
