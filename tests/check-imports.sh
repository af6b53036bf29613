#!/bin/sh
# Fails unless the program is a PE of the given subsystem (gui or console)
# that imports Windows system DLLs only (a static build: no libstdc++, libgcc
# or winpthread DLLs) and whose manifest makes UTF-8 its active code page; a
# DLL (dll) only the imports, as it runs in its host's code page.
#   check-imports.sh EXE gui|console|dll
exe="$1"
case "$2" in
  gui) subsystem=2 ;;
  console) subsystem=3 ;;
  dll) subsystem="[0-9]" ;;  # a DLL runs in its host's subsystem
  *) echo "usage: check-imports.sh EXE gui|console|dll"; exit 2 ;;
esac
dump=$(x86_64-w64-mingw32-objdump -p "$exe") || exit 1
echo "$dump" | grep -q "^Subsystem.*0*$subsystem\b" || { echo "not a $2-subsystem program"; exit 1; }
[ "$2" = dll ] || grep -q '<activeCodePage[^>]*>UTF-8</activeCodePage>' "$exe" \
  || { echo "no UTF-8 manifest"; exit 1; }
dlls=$(echo "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $dlls
allowed="kernel32.dll user32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll comctl32.dll"
allowed="$allowed msvcrt.dll gdi32.dll"
status=0
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) ;;
    api-ms-win-crt-*) ;;
    *) echo "unexpected import: $dll"; status=1 ;;
  esac
done
exit $status
