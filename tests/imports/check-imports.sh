#!/bin/sh
# Fails when the runner imports any DLL but the system's own.
objdump=$1 exe=$2
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll comctl32.dll shell32.dll msvcrt.dll"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
status=0
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) echo "import: $dll" ;;
    *) echo "import not allowed: $dll"; status=1 ;;
  esac
done
exit $status
