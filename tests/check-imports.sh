#!/bin/sh
# Fails unless the program is a GUI-subsystem PE that imports Windows system
# DLLs only (a static build: no libstdc++, libgcc or winpthread DLLs).
exe="$1"
dump=$(x86_64-w64-mingw32-objdump -p "$exe") || exit 1
echo "$dump" | grep -q '^Subsystem.*0*2\b' || { echo "not a GUI-subsystem program"; exit 1; }
dlls=$(echo "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports:" $dlls
allowed="kernel32.dll user32.dll advapi32.dll shell32.dll ole32.dll comctl32.dll msvcrt.dll gdi32.dll"
status=0
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) ;;
    api-ms-win-crt-*) ;;
    *) echo "unexpected import: $dll"; status=1 ;;
  esac
done
exit $status
