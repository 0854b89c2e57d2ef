#!/bin/sh
# Writes an import library that lld can link as delay-loaded, for the same
# functions as a MinGW import library (whose GNU form lld links only as an
# ordinary import).
# Usage: delay-import-lib.sh NM DLLTOOL MACHINE MINGW_LIB DLL OUT_LIB
set -eu
nm=$1 dlltool=$2 machine=$3 mingw_lib=$4 dll=$5 out=$6
def=$out.def
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  # __imp_Name (x86_64) or __imp__Name@N (i686): the .def takes Name@N, and
  # -k drops the @N from the name the DLL is asked for.
  "$nm" "$mingw_lib" | sed -n 's/^.* I __imp_//p' | {
    if [ "$machine" = i386 ]; then sed 's/^_//'; else cat; fi
  } | sort -u
} >"$def"
"$dlltool" -m "$machine" -k -d "$def" -l "$out"
