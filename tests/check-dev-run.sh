#!/bin/bash
# The front door as a new user meets it: `./dev.sh run PATH` in a fresh
# clone, with a new home, sets up the entries and archives PATH, and says
# both.
#   check-dev-run.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q "$1" "$work/clone"
mkdir -p "$work/home" "$work/Photos"
printf 'a photo\n' >"$work/Photos/one.jpg"
said=$(env -i PATH=/usr/bin:/bin HOME="$work/home" LANG=C.UTF-8 \
         "$work/clone/dev.sh" run "$work/Photos" 2>&1)
echo "$said"
fail() { echo "FAILED: $1"; exit 1; }
grep -q "Setup OK" <<<"$said" || fail "setup did not say so"
grep -q "dev.sh: archived $work/Photos" <<<"$said" || fail "the run did not say so"
[ -f "$work/home/.config/arkiva/registry.reg" ] || fail "no entries in the new home"
tar -xJOf "$work/Photos.tar.xz" Photos/one.jpg | grep -q "a photo" || fail "Photos.tar.xz"
echo OK
