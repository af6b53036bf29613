#!/bin/bash
# The Debian package as a user meets it: builds it, installs it on this
# machine, runs the Dolphin entry's Exec line (read by KDE's own reader) for
# a new user whose home is empty, on a folder with a hostile name, and
# expects the archive and no setup message; a plain start by another new user
# writes only the entries no system-wide place can give; then purges the
# package and expects none of its files left. Needs root (CI runs as root); skipped when
# arkiva is installed already, so that a developer's install is never touched.
#   check-deb.sh BUILD_DIR
set -euo pipefail
build=$1
if [ "$(id -u)" -ne 0 ]; then echo "SKIPPED: installing a package needs root"; exit 0; fi
if dpkg-query -W -f='${Status}' arkiva 2>/dev/null | grep -q installed; then
  echo "SKIPPED: arkiva is installed on this machine already"; exit 0
fi
work=$(mktemp -d /tmp/arkiva-deb.XXXXXX)
trap 'dpkg --purge arkiva >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null 2>&1
deb=$(ls "$work"/out/arkiva_*_amd64.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
expected=(/usr/bin/arkiva /usr/share/kio/servicemenus/arkiva-create-tar-xz.desktop
          /usr/share/nemo/actions/arkiva-create-tar-xz.nemo_action
          /usr/share/file-manager/actions/arkiva-create-tar-xz.desktop
          /usr/share/kio/servicemenus/arkiva-create-one-tar-xz.desktop
          /usr/share/nemo/actions/arkiva-create-one-tar-xz.nemo_action
          /usr/share/file-manager/actions/arkiva-create-one-tar-xz.desktop
          /usr/share/applications/arkiva-progress.desktop
          /usr/share/doc/arkiva/copyright /usr/share/doc/arkiva/changelog.Debian.gz)
if extensions=$(pkg-config --variable=extensiondir libnautilus-extension-4 2>/dev/null); then
  expected+=("$extensions/libarkiva-nautilus.so")
fi
if [ -x "$build/arkiva-progress" ]; then
  # The progress window, where /usr/bin/arkiva looks (../libexec/arkiva);
  # GTK only recommended: a desktop without it still archives.
  expected+=(/usr/libexec/arkiva/arkiva-progress)
  dpkg-deb -f "$deb" Recommends | grep -q "libgtk-3-0" || { echo "GTK is not recommended"; exit 1; }
  ! dpkg-deb -f "$deb" Depends | grep -q "gtk" || { echo "the package depends on GTK"; exit 1; }
fi
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/contents" || { echo "not in the package: $f"; exit 1; }
done
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" 2>/dev/null || { echo "lintian reports errors"; exit 1; }
fi
# Installable on Debian 12 and 13 and Ubuntu 22.04 to 26.04: every package
# it depends on is on each of them (libglib2.0-0 and liblzma5 by that name
# or as their 64-bit-time successors, which provide it; libxml2 is gone
# from Ubuntu 25.10), and no program needs a newer glibc or libstdc++ than
# Ubuntu 22.04's (GLIBC_2.35, GLIBCXX_3.4.30).
everywhere=" xz-utils tar libc6 libstdc++6 libgcc-s1 liblzma5 libglib2.0-0 "
for package in $(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/ //g'); do
  [[ $everywhere == *" $package "* ]] || { echo "a dependency some releases lack: $package"; exit 1; }
done
dpkg-deb -x "$deb" "$work/unpacked"
desktop-file-validate "$work/unpacked/usr/share/applications/arkiva-progress.desktop" \
  || { echo "the progress window's entry is not valid"; exit 1; }
newest() { sort -uV | tail -1; }
for program in $(find "$work/unpacked" -type f -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print); do
  versions=$(objdump -T "$program" | grep -o '\(GLIBC\|GLIBCXX\|CXXABI\)_[0-9.]*' || true)
  for limit in GLIBC_2.35 GLIBCXX_3.4.30 CXXABI_1.3.13; do
    needed=$({ grep "^${limit%_*}_" <<<"$versions" || true; } | newest)
    [ -z "$needed" ] || [ "$(printf '%s\n%s\n' "$needed" "$limit" | newest)" = "$limit" ] \
      || { echo "${program#"$work/unpacked"} needs $needed, newer than Ubuntu 22.04's $limit"; exit 1; }
  done
done
dpkg -i "$deb" >/dev/null

# A new user: an empty home, nothing set up.
mkdir -p "$work/home" "$work/items/My \"Photos\" \$HOME 'q'"
folder="$work/items/My \"Photos\" \$HOME 'q'"
echo inside >"$folder/inside"
exec_line=$(kreadconfig5 --file /usr/share/kio/servicemenus/arkiva-create-tar-xz.desktop \
                         --group "Desktop Action createTarXz" --key Exec)
quoted="'$(printf '%s' "$folder" | sed "s/'/'\\\\''/g")'"   # as g_shell_quote does
command=${exec_line/\%F/$quoted}
said=$(cd / && env -i PATH=/usr/bin:/bin HOME="$work/home" sh -c "$command" 2>&1) \
  || { echo "the Dolphin entry failed: $said"; exit 1; }
case $said in *Setup*) echo "the first click ran setup: $said"; exit 1 ;; esac
tar -tJf "$folder.tar.xz" | grep -qxF "$(basename "$folder")/inside" \
  || { echo "no archive of the folder"; exit 1; }
# Nothing but the folders where runs keep their records and (without a
# runtime folder, as here) their locks while they run, empty.
written=$(cd "$work/home" && find . -mindepth 1 |
          grep -vxE '\./\.local(/state(/arkiva)?)?|\./\.cache(/arkiva(/locks)?)?' || true)
[ -z "$written" ] || { echo "the first click wrote to the home:"; find "$work/home"; exit 1; }

# A plain start then sets up what only a user's own entry gives, and says so:
# no GNOME Files script beside the package's module, and no Caja script where
# caja-actions shows the package's action.
mkdir "$work/home2"
said=$(env -i PATH=/usr/bin:/bin HOME="$work/home2" arkiva 2>&1 </dev/null)
gnome="" caja="Caja (under Scripts), "
scripts=("./.config/caja/scripts/Create tar.xz archive" "./.local/share/nautilus/scripts/Create tar.xz archive")
if [ -n "${extensions:-}" ]; then gnome="GNOME Files (system-wide), "; unset 'scripts[1]'; fi
if [ -e /usr/lib/x86_64-linux-gnu/caja/extensions-2.0/libcaja-actions-menu.so ]; then caja=""; unset 'scripts[0]'; fi
case $said in
  *"Setup OK"*"is now in $gnome${caja}Dolphin (system-wide), Nemo (system-wide), PCManFM, PCManFM-Qt, caja-actions (system-wide) and Thunar."*) ;;
  *) echo "a plain start said: $said"; exit 1 ;;
esac
(cd "$work/home2" && find . -type f | sort) >"$work/written"
printf '%s\n' "./.config/Thunar/uca.xml" "./.config/arkiva/registry.reg" "./.config/arkiva/registry.reg.lock" \
  "${scripts[@]}" | sort | cmp - "$work/written" \
  || { echo "a plain start wrote:"; cat "$work/written"; exit 1; }

dpkg --purge arkiva >/dev/null
left=$(while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done <"$work/contents")
[ -z "$left" ] || { echo "left after purge: $left"; exit 1; }
[ ! -e /usr/share/arkiva ] || { echo "left after purge: /usr/share/arkiva"; exit 1; }
echo "installed, archived on the first click, purged"
