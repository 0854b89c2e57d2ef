#!/bin/sh
# Link launcher of the runner: the compiler's link command is carried out by
# clang with lld, which writes delay-loaded imports (GNU ld cannot); every
# other command of the link rule runs as it is.
# Usage: lld-link.sh CLANGXX TRIPLE GCC_LIB_DIR DELAY_LIB_DIR DLL,DLL,... COMMAND ...
set -eu
clangxx=$1 triple=$2 gcc_lib_dir=$3 delay_lib_dir=$4 dlls=$5
shift 5
case $1 in
  *g++*) ;;
  *) exec "$@" ;;
esac
shift
delay=
for dll in $(echo "$dlls" | tr , ' '); do delay="$delay -Wl,--delayload=$dll"; done
# shellcheck disable=SC2086
exec "$clangxx" --target="$triple" -fuse-ld=lld -L"$delay_lib_dir" -L"$gcc_lib_dir" "$@" $delay -ldelayimp -lpthread
