#!/bin/bash
# The MSI as an administrator deploys it: in a fresh Wine prefix that says
# it is Windows 10 1809, `msiexec /i` refuses to install; on a later one it
# installs the files and the machine-wide
# keys, and runs no PowerShell; the registered commands archive a folder and
# a file at once (no setup box), a newer MSI replaces the installed one, and
# `msiexec /x` leaves no file and no key. The package's logos are installed
# beside arkiva.exe, Active Setup's key registers every user at their next
# logon and goes at uninstall, and SYSTEM registers nothing. Then, on
# Windows 11 (build 22621), with a PowerShell stand-in: the install registers
# the package for the installing user and hides no verb, and the uninstall
# removes it for every user; a failing PowerShell fails nothing.
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
sed -i "s/Version=\"$version\"/Version=\"99.0.0\"/; s/Value=\"${version//./,},0\"/Value=\"99,0,0,0\"/" \
  "$work/msi-next/arkiva.wxs"
(cd "$work/msi-next" && wixl -a x64 -o "$work/next.msi" arkiva.wxs)

boot_prefix
installed=$WINEPREFIX/drive_c/Program\ Files/arkiva
powershell=$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0
cp "$build/tests/powershell_standin.exe" "$powershell/powershell.exe"
report_build() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentVersion /d "$1" /f >/dev/null
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d "$2" /f >/dev/null
  echo "$3" >"$powershell/exit.txt"
  rm -f "$powershell/record.txt"
}
# Windows 10 1809 (LTSC 2019), which ignores arkiva.exe's UTF-8 code page,
# is refused with the reason, and nothing is installed.
report_build 10.0 17763 0
status=0
wine msiexec /i "$(dos "$msi")" /qn || status=$?
wineserver -w
# 1603 (ERROR_INSTALL_FAILURE), as a Unix exit status keeps it: its low byte.
[ "$status" = $((1603 % 256)) ] || fail "msiexec on build 17763 ended $status"
[ ! -e "$installed" ] || fail "installed on build 17763: $(ls "$installed")"
# Wine shows and logs no launch condition's message; Windows shows this one.
launch=$(msiinfo export "$msi" LaunchCondition)
grep -q $'^Installed OR WINDOWSBUILD >= 18362\tarkiva needs Windows 10 version 1903 or later.' \
  <<<"$launch" || fail "the launch condition: $launch"
report_build 10.0 19045 0
menu_keys() {
  for key in 'HKCR\Directory\shell\Create tar.xz' 'HKLM\Software\Classes\*\shell\Create tar.xz' \
             'HKLM\Software\Classes\CLSID\{DEDB3083-EA15-42E5-A382-2D8761661176}' \
             'HKCR\Directory\shell\Create one tar.xz' 'HKLM\Software\Classes\*\shell\Create one tar.xz' \
             'HKLM\Software\Classes\CLSID\{10952600-9168-4C4A-A562-E680CD1EBA7B}'; do
    wine reg query "$key" /s 2>/dev/null | tr -d '\r' | grep -E '^(HKEY|    )' || true
  done
}

wine msiexec /i "$(dos "$msi")" /qn
wineserver -w
[ "$(ls "$installed" | tr '\n' ' ')" = "Assets COPYING-libarchive.txt COPYING-xz-0BSD.txt COPYING-xz-LGPLv2.1.txt COPYING-xz.txt LICENSE.txt README.txt arkiva-shell.dll arkiva-shell.msix arkiva.exe tar.exe xz.exe " ] \
  || fail "installed: $(ls "$installed" | tr '\n' ' ')"
cmp -s "$installed/arkiva.exe" "$build/arkiva.exe" || fail "the installed arkiva.exe is not the built one"
for logo in StoreLogo Square150x150Logo Square44x44Logo; do
  cmp -s "$installed/Assets/$logo.png" "$build/msix/files/Assets/$logo.png" || fail "no $logo.png"
done
active_setup() {
  wine reg query 'HKLM\Software\Microsoft\Active Setup\Installed Components\{B6F2D0C4-7A3E-4C59-8E1D-5F9A2C6B3E70}' 2>/dev/null |
    tr -d '\r' | grep -E '^(HKEY|    )' || true
}
expected_active_setup() {
  echo "HKEY_LOCAL_MACHINE\Software\Microsoft\Active Setup\Installed Components\{B6F2D0C4-7A3E-4C59-8E1D-5F9A2C6B3E70}
    (Default)    REG_SZ    arkiva
    IsInstalled    REG_DWORD    0x1
    StubPath    REG_SZ    \"C:\Program Files\arkiva\arkiva.exe\" --add-package
    Version    REG_SZ    $1"
}
[ "$(active_setup)" = "$(expected_active_setup "${version//./,},0")" ] ||
  fail "Active Setup after install: $(active_setup)"
# SYSTEM, as Intune and SCCM install, has no desktop to register for.
# Read whole first: grep -q stops reading at its match, and msiinfo, still
# writing, would end by SIGPIPE, which pipefail counts as a failure.
sequence=$(msiinfo export "$msi" InstallExecuteSequence)
grep -q $'^AddMenuPackage\tNOT REMOVE="ALL" AND WINDOWSBUILD >= 22000 AND UserSID <> "S-1-5-18"\t6500' \
  <<<"$sequence" || fail "AddMenuPackage runs as SYSTEM: $(grep MenuPackage <<<"$sequence")"
command='"C:\Program Files\arkiva\arkiva.exe" "%1"'
class='{DEDB3083-EA15-42E5-A382-2D8761661176}'
one_command='"C:\Program Files\arkiva\arkiva.exe" --one "%1"'
one_class='{10952600-9168-4C4A-A562-E680CD1EBA7B}'
expected="HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz
    MUIVerb    REG_SZ    @C:\\Program Files\\arkiva\\arkiva.exe,-1
    MultiSelectModel    REG_SZ    Player
HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\command
    (Default)    REG_SZ    $command
HKEY_CLASSES_ROOT\\Directory\\shell\\Create tar.xz\\DropTarget
    Clsid    REG_SZ    $class
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz
    (Default)    REG_SZ    Create tar.xz
    MUIVerb    REG_SZ    @C:\\Program Files\\arkiva\\arkiva.exe,-1
    MultiSelectModel    REG_SZ    Player
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz\\command
    (Default)    REG_SZ    $command
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create tar.xz\\DropTarget
    Clsid    REG_SZ    $class
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$class
    (Default)    REG_SZ    Create tar.xz
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$class\\LocalServer32
    (Default)    REG_SZ    \"C:\\Program Files\\arkiva\\arkiva.exe\"
HKEY_CLASSES_ROOT\\Directory\\shell\\Create one tar.xz
    MUIVerb    REG_SZ    @C:\\Program Files\\arkiva\\arkiva.exe,-2
    MultiSelectModel    REG_SZ    Player
HKEY_CLASSES_ROOT\\Directory\\shell\\Create one tar.xz\\command
    (Default)    REG_SZ    $one_command
HKEY_CLASSES_ROOT\\Directory\\shell\\Create one tar.xz\\DropTarget
    Clsid    REG_SZ    $one_class
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create one tar.xz
    (Default)    REG_SZ    Create one tar.xz
    MUIVerb    REG_SZ    @C:\\Program Files\\arkiva\\arkiva.exe,-2
    MultiSelectModel    REG_SZ    Player
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create one tar.xz\\command
    (Default)    REG_SZ    $one_command
HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Create one tar.xz\\DropTarget
    Clsid    REG_SZ    $one_class
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$one_class
    (Default)    REG_SZ    Create one tar.xz
HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$one_class\\LocalServer32
    (Default)    REG_SZ    \"C:\\Program Files\\arkiva\\arkiva.exe\" --one"
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
[ "$(active_setup)" = "$(expected_active_setup 99,0,0,0)" ] ||
  fail "Active Setup after the upgrade: $(active_setup)"

wine msiexec /x "$(dos "$work/next.msi")" /qn
wineserver -w
[ ! -e "$installed" ] || fail "left after uninstall: $(ls "$installed")"
[ -z "$(menu_keys)" ] || fail "keys left after uninstall:
$(menu_keys)"
[ -z "$(active_setup)" ] || fail "Active Setup left after uninstall: $(active_setup)"
[ ! -e "$powershell/record.txt" ] || fail "PowerShell ran on Windows 10: $(cat "$powershell/record.txt")"

user_verbs() {
  for key in 'HKCU\Software\Classes\Directory\shell\Create tar.xz' 'HKCU\Software\Classes\*\shell\Create tar.xz'; do
    wine reg query "$key" /v ProgrammaticAccessOnly 2>/dev/null | tr -d '\r' | grep -E '^    ' || true
  done
}
ps='"C:\windows\system32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -Command'
folder='C:\Program Files\arkiva'
query="if (Get-AppxPackage -Name 'arkiva.shell' | Where-Object { \$_.Version -eq '$version.0' -and \$_.InstallLocation -eq '$folder' -and \$_.Status -eq 'Ok' }) { exit 17 }"
add="Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage; Add-AppxPackage -Path '$folder\arkiva-shell.msix' -ExternalLocation '$folder'"
remove="Get-AppxPackage -AllUsers -Name 'arkiva.shell' | Remove-AppxPackage -AllUsers"
report_build 10.0 22621 0
wine msiexec /i "$(dos "$msi")" /qn
wineserver -w
[ "$(cat "$powershell/record.txt")" = "$ps \"$query\"
$ps \"$add\"" ] || fail "PowerShell on Windows 11: $(cat "$powershell/record.txt")"
[ -z "$(user_verbs)" ] || fail "a verb hidden after a registration: $(user_verbs)"
[ "$(menu_keys)" = "$expected" ] || fail "machine-wide keys on Windows 11:
$(menu_keys)"
# Active Setup's run for this user at the next logon: the same version from
# the same folder is not registered again.
echo 17 >"$powershell/exit.txt"
rm "$powershell/record.txt"
wine "$(active_setup | sed -n 's/^    StubPath    REG_SZ    "\(.*\)" --add-package$/\1/p')" --add-package
wineserver -w
[ "$(cat "$powershell/record.txt")" = "$ps \"$query\"" ] ||
  fail "Active Setup's run: $(cat "$powershell/record.txt")"
echo 0 >"$powershell/exit.txt"
rm "$powershell/record.txt"
wine msiexec /x "$(dos "$msi")" /qn
wineserver -w
[ "$(cat "$powershell/record.txt")" = "$ps \"$remove\"" ] || fail "PowerShell at uninstall: $(cat "$powershell/record.txt")"
[ ! -e "$installed" ] || fail "left after uninstall: $(ls "$installed")"
[ -z "$(active_setup)" ] || fail "Active Setup left after uninstall: $(active_setup)"

report_build 10.0 22621 1
wine msiexec /i "$(dos "$msi")" /qn
wineserver -w
[ -n "$(cat "$powershell/record.txt")" ] && [ -z "$(user_verbs)" ] && [ "$(menu_keys)" = "$expected" ] \
  || fail "after a failed registration: $(user_verbs) $(menu_keys)"
echo "the MSI $version installed, archived, was replaced by 99.0.0 and uninstalled cleanly;" \
  "on Windows 11 it registered and removed the package"
