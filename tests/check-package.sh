#!/bin/bash
# Builds the release zip, unpacks it and runs the arkiva.exe in it under Wine
# on a folder: the archive must appear. Also checks the zip's contents and
# the version in the exe's VERSIONINFO.
#   check-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/arkiva-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
zip="$work/out/arkiva-$version-win64.zip"
unzip -q "$zip" -d "$work/unpacked"
top="$work/unpacked/arkiva-$version-win64"
for f in arkiva.exe README.txt LICENSE.txt remove-menu.reg; do
  [ -f "$top/$f" ] || { echo "missing from the zip: $f"; exit 1; }
done
grep -qaP "F\x00i\x00l\x00e\x00V\x00e\x00r\x00s\x00i\x00o\x00n\x00\x00\x00\x00\x00$(echo -n "$version" | sed 's/./&\\x00/g')" "$top/arkiva.exe" \
  || { echo "VERSIONINFO does not say $version"; exit 1; }

# Archive mode needs the menu key.
"$build/wine-run" reg add 'HKEY_CLASSES_ROOT\Directory\shell\Create tar.xz' /f >/dev/null
mkdir -p "$work/My Data"
echo "hello" >"$work/My Data/file.txt"
"$build/wine-run" "$top/arkiva.exe" "Z:${work//\//\\}\\My Data"
listing=$(tar -tJf "$work/My Data.tar.xz" | sort | tr '\n' ' ')
[ "$listing" = "My Data/ My Data/file.txt " ] || { echo "unexpected archive: $listing"; exit 1; }
echo "the zip's arkiva.exe $version archived a folder under Wine"
