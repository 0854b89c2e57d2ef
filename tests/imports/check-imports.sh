#!/bin/sh
# Fails when the runner imports any DLL but the system's own, or loads at its
# start one that only its windows, messages and COM need: those must be
# delay-loaded; or when it imports a call that Windows 7 lacks.
objdump=$1 exe=$2
allowed="kernel32.dll advapi32.dll msvcrt.dll"
delayed="user32.dll gdi32.dll ole32.dll oleaut32.dll comctl32.dll shell32.dll"
headers=$("$objdump" -p "$exe")
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
status=0
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) echo "import: $dll" ;;
    *)
      case " $delayed " in
        *" $dll "*) echo "import loaded at start, not delay-loaded: $dll" ;;
        *) echo "import not allowed: $dll" ;;
      esac
      status=1 ;;
  esac
done
# Calls of Windows 8 and later, or of a Windows 7 update (the 2011 loader
# update's), are looked up at run time, never imported: one missing import
# keeps a program from starting.
for call in SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory GetSystemTimePreciseAsFileTime \
    CreateFile2 GetCurrentThreadStackLimits; do
  if echo "$headers" | grep -Eq "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$call\$"; then
    echo "import newer than Windows 7: $call"
    status=1
  fi
done
# The delay-load table is there (its directory entry names an address).
echo "$headers" | grep -Eq '^Entry d [0-9a-f]*[1-9a-f][0-9a-f]* .*Delay Import Directory' ||
  { echo "no delay-loaded imports in $exe"; status=1; }
exit $status
