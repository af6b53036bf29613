#!/bin/bash
# The release as a user meets it: builds the zip, unpacks it into a fresh Wine
# prefix in which no other tar.exe or xz.exe exists, starts arkiva.exe once
# (setup), then runs the registered commands the way the shell does on a
# folder and a file whose names lie outside every old code page. The
# archives must hold exactly those names and bytes.
#   check-package.sh BUILD_DIR VERSION SHELL_START_EXE
set -euo pipefail
build=$1
version=$2
shell_start=$3
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$0" "$@"
fi
source "$(dirname "$0")/fresh-prefix.sh" package

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
zip="$work/out/arkiva-$version-win64.zip"
unzip -q "$zip" -d "$work/unpacked"
top="$work/unpacked/arkiva-$version-win64"
for f in arkiva.exe arkiva-shell.dll arkiva-shell.msix tar.exe xz.exe README.txt LICENSE.txt \
         remove-menu.reg remove-menu.cmd \
         Assets/StoreLogo.png Assets/Square150x150Logo.png Assets/Square44x44Logo.png \
         COPYING-libarchive.txt COPYING-xz.txt COPYING-xz-0BSD.txt COPYING-xz-LGPLv2.1.txt; do
  [ -f "$top/$f" ] || { echo "missing from the zip: $f"; exit 1; }
done
grep -qaP "F\x00i\x00l\x00e\x00V\x00e\x00r\x00s\x00i\x00o\x00n\x00\x00\x00\x00\x00$(echo -n "$version" | sed 's/./&\\x00/g')" "$top/arkiva.exe" \
  || { echo "VERSIONINFO does not say $version"; exit 1; }
grep -q "xz-utils 5\." "$top/README.txt" && grep -q "libarchive 3\." "$top/README.txt" \
  || { echo "README.txt does not name the versions of tar.exe and xz.exe"; exit 1; }

boot_prefix
others=$(find "$WINEPREFIX" -iname tar.exe -o -iname xz.exe)
[ -z "$others" ] || { echo "the fresh prefix already has: $others"; exit 1; }

folder="Zoë 日本 📷"
file="ноты ✓.txt"
mkdir -p "$work/items/$folder/Ψ sub"
printf 'photo bytes \377\000\001' >"$work/items/$folder/Ψ sub/🎵 ünï.bin"
printf 'notes\n' >"$work/items/$folder/$file"
printf 'до ре ми\n' >"$work/items/$file"
wine "$(dos "$shell_start")" "$(dos "$top/arkiva.exe")" "$(dos "$work/items/$folder")" \
  "$(dos "$work/items/$file")" </dev/null
wineserver -w

cd "$work/items"
[ ! -e "$folder.tar" ] || { echo "$folder.tar was left behind"; exit 1; }
listing=$(tar -tJf "$folder.tar.xz" | sort)
expected=$(printf '%s\n' "$folder/" "$folder/$file" "$folder/Ψ sub/" "$folder/Ψ sub/🎵 ünï.bin" | sort)
[ "$listing" = "$expected" ] || { printf 'unexpected members:\n%s\n' "$listing"; exit 1; }
mkdir out
tar -xJf "$folder.tar.xz" -C out
diff -r "out/$folder" "$folder" || { echo "the archive's bytes differ"; exit 1; }
[ "$(xz -dc "$file.xz")" = "до ре ми" ] || { echo "$file.xz does not hold the file"; exit 1; }
[ ! -e "$file" ] || { echo "xz kept $file"; exit 1; }

# remove-menu.reg takes away every key setup wrote, the class with them.
class='{DEDB3083-EA15-42E5-A382-2D8761661176}'
for key in "HKCR\\CLSID\\$class\\LocalServer32" 'HKCR\Directory\shell\Create tar.xz\DropTarget' \
           'HKCR\CLSID\{10952600-9168-4C4A-A562-E680CD1EBA7B}\LocalServer32' \
           'HKCR\Directory\shell\Create one tar.xz\DropTarget'; do
  wine reg query "$key" >/dev/null 2>&1 || { echo "setup did not write $key"; exit 1; }
done
wine regedit /s "$(dos "$top/remove-menu.reg")"
wineserver -w
for key in "HKCR\\CLSID\\$class" 'HKCR\Directory\shell\Create tar.xz' 'HKLM\Software\Classes\*\shell\Create tar.xz' \
           'HKCR\CLSID\{10952600-9168-4C4A-A562-E680CD1EBA7B}' 'HKCR\Directory\shell\Create one tar.xz' \
           'HKLM\Software\Classes\*\shell\Create one tar.xz'; do
  ! wine reg query "$key" >/dev/null 2>&1 || { echo "remove-menu.reg left $key"; exit 1; }
done
echo "the zip's arkiva.exe $version, tar.exe and xz.exe archived '$folder' and '$file' in a fresh prefix"
