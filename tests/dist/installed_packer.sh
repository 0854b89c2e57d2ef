#!/usr/bin/env bash
# The distribution as a vendor installs it. The .deb passes lintian without
# an error; unpacked into a temporary root, its packer alone (no --stub,
# nothing of the build tree) packs the probe payload, whose packed program
# runs under Wine with the payload's exit code; its man page renders and its
# completion offers the packer's own options. The Windows archive's packer,
# beside its runners, does the same under Wine. The 64-bit runner of each
# runs once as well.
#   installed_packer.sh DIST_DIR PROBE.exe
set -euo pipefail

dist=$(realpath "$1")
probe=$(realpath "$2")
source "$(dirname "$0")/../host/pack_steps.sh"
enter_wine_and_work_folder tobrin-dist-test "$@"

debs=("$dist"/tobrin_*.deb)
zips=("$dist"/tobrin-*-windows.zip)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] && [ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] ||
  { echo "FAIL - one .deb and one .zip in $dist (make dist)"; exit 1; }

check "lintian finds no error in the .deb" lintian --fail-on error "${debs[0]}"

mkdir root
probe_folder product "$probe" $'ParamA=--from-dist\r\n'

# Packs the product with the create command given after WHAT, OUT and BITS
# (the runner's, 32 or 64), runs the packed program silently and checks the
# payload's exit code and report.
pack_and_run() {
  local what=$1 out=$2 bits=$3
  shift 3
  if ! "$@" -o "$out" product >pack.log 2>&1; then
    fail "$what: packs"
    cat pack.log
    return
  fi
  check "$what: the packed program is a $bits-bit program" is_pe_program "$out" "$bits"
  [ "$bits" = 64 ] || runs_32bit "$what: the packed program is 32-bit" || return 0
  run_probe "$out"
  check "$what: the packed program ends with the payload's exit code" [ "$code" = 7 ]
  check "$what: the payload received ParamA" grep -q -- '--from-dist' report.txt
}

dpkg-deb -x "${debs[0]}" "$work/root"
packer=$work/root/usr/bin/tobrin-pack
check "the .deb holds both runners" [ -f "$work/root/usr/lib/tobrin/tobrin.exe" -a -f "$work/root/usr/lib/tobrin/tobrin64.exe" ]
check "the .deb holds the README's pages" [ -f "$work/root/usr/share/doc/tobrin/docs/running.md" ]
pack_and_run "the installed packer" Installed.exe 32 "$packer" create
pack_and_run "the .deb's 64-bit runner" Installed64.exe 64 "$packer" create --stub "$work/root/usr/lib/tobrin/tobrin64.exe"
runner=$work/root/usr/lib/tobrin/tobrin.exe
check "the installed packer's default runner is the 32-bit one" \
  cmp -s -i 64 -n $(($(stat -c %s "$runner") - 64)) Installed.exe "$runner"
check "the man page renders" sh -c "man -l '$work/root/usr/share/man/man1/tobrin-pack.1.gz' | grep -q 'EXIT STATUS'"
completion=$(PATH="$work/root/usr/bin:$PATH" bash -c '
  source "$1/usr/share/bash-completion/completions/tobrin-pack"
  COMP_WORDS=(tobrin-pack create --sto); COMP_CWORD=2; _tobrin_pack; echo "${COMPREPLY[*]}"
  COMP_WORDS=(tobrin-pack ver); COMP_CWORD=1; _tobrin_pack; echo "${COMPREPLY[*]}"' _ "$work/root")
check "the completion offers options and commands from --help" [ "$completion" = $'--store\nverify' ]

mkdir "$work/zip"
unzip -q "${zips[0]}" -d "$work/zip"
folder=("$work"/zip/tobrin-*-windows)
members=$(cd "${folder[0]}" && LC_ALL=C ls | tr '\n' ' ')
check "the archive holds one folder with the packer, both runners, README, its pages and licence" \
  [ "$members" = 'LICENSE README.md docs tobrin-pack.exe tobrin.exe tobrin64.exe ' -a -f "${folder[0]}/docs/packing.md" ]
if runs_32bit "the archive's packer, which is 32-bit"; then
  pack_and_run "the archive's packer" FromZip.exe 32 wine "${folder[0]}/tobrin-pack.exe" create
fi
pack_and_run "the archive's 64-bit runner" FromZip64.exe 64 "$packer" create --stub "${folder[0]}/tobrin64.exe"

finish
