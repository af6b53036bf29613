#!/bin/bash
# The MSI as an administrator deploys it: in a fresh Wine prefix,
# `msiexec /i` installs the files and the machine-wide keys, the registered
# commands archive a folder and a file at once (no setup box), a newer MSI
# replaces the installed one, and `msiexec /x` leaves no file and no key.
#   check-msi.sh BUILD_DIR VERSION SHELL_START_EXE
set -euo pipefail
build=$1
version=$2
shell_start=$3
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi
source "$(dirname "$0")/fresh-prefix.sh" msi
fail() { echo "$1"; exit 1; }

cmake --build "$build" --target msi >/dev/null
msi=$build/arkiva-$version-win64.msi
# The same product one version later, for the upgrade.
cp -r "$build/msi" "$work/msi-next"
sed -i "s/Version=\"$version\"/Version=\"99.0.0\"/" "$work/msi-next/arkiva.wxs"
(cd "$work/msi-next" && wixl -a x64 -o "$work/next.msi" arkiva.wxs)

boot_prefix
installed=$WINEPREFIX/drive_c/Program\ Files/arkiva
menu_keys() {
  for key in 'HKCR\Directory\shell\Create tar.xz' 'HKLM\Software\Classes\*\shell\Create tar.xz' \
             'HKLM\Software\Classes\CLSID\{DEDB3083-EA15-42E5-A382-2D8761661176}'; do
    wine reg query "$key" /s 2>/dev/null | tr -d '\r' | grep -E '^(HKEY|    )' || true
  done
}

wine msiexec /i "$(dos "$msi")" /qn
wineserver -w
[ "$(ls "$installed" | tr '\n' ' ')" = "COPYING-libarchive.txt COPYING-xz-LGPLv2.1.txt COPYING-xz.txt LICENSE.txt README.txt arkiva.exe tar.exe xz.exe " ] \
  || fail "installed: $(ls "$installed" | tr '\n' ' ')"
cmp -s "$installed/arkiva.exe" "$build/arkiva.exe" || fail "the installed arkiva.exe is not the built one"
command='"C:\Program Files\arkiva\arkiva.exe" "%1"'
class='{DEDB3083-EA15-42E5-A382-2D8761661176}'
expected="HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz
    MultiSelectModel    REG_SZ    Player
HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command
    (Default)    REG_SZ    $command
HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\DropTarget
    Clsid    REG_SZ    $class
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz
    (Default)    REG_SZ    Create tar.xz
    MultiSelectModel    REG_SZ    Player
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz\\command
    (Default)    REG_SZ    $command
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz\\DropTarget
    Clsid    REG_SZ    $class
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$class
    (Default)    REG_SZ    Create tar.xz
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$class\\LocalServer32
    (Default)    REG_SZ    \"C:\\Program Files\\arkiva\\arkiva.exe\""
[ "$(menu_keys)" = "$expected" ] || fail "keys after install:
$(menu_keys)"

mkdir -p "$work/items/Zoë data/sub"
printf 'one\n' >"$work/items/Zoë data/sub/a.txt"
printf 'notes' >"$work/items/notes ✓.txt"
wine "$(dos "$shell_start")" - "$(dos "$work/items/Zoë data")" "$(dos "$work/items/notes ✓.txt")" </dev/null
wineserver -w
mkdir "$work/out"
tar -xJf "$work/items/Zoë data.tar.xz" -C "$work/out"
diff -r "$work/out/Zoë data" "$work/items/Zoë data" || fail "the archive differs from the folder"
[ "$(xz -dc "$work/items/notes ✓.txt.xz")" = "notes" ] || fail "the file was not compressed"

wine msiexec /i "$(dos "$work/next.msi")" /qn
wineserver -w
versions=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
           tr -d '\r' | grep -A8 'DisplayName    REG_SZ    arkiva$' | sed -n 's/.*DisplayVersion    REG_SZ    //p' |
           tr '\n' ' ')
[ "$versions" = "99.0.0 " ] || fail "installed versions after the upgrade: $versions"
[ "$(menu_keys)" = "$expected" ] || fail "keys after the upgrade:
$(menu_keys)"

wine msiexec /x "$(dos "$work/next.msi")" /qn
wineserver -w
[ ! -e "$installed" ] || fail "left after uninstall: $(ls "$installed")"
[ -z "$(menu_keys)" ] || fail "keys left after uninstall:
$(menu_keys)"
echo "the MSI $version installed, archived, was replaced by 99.0.0 and uninstalled cleanly"
