#!/usr/bin/env bash
# The packer end to end, under Wine: packs a tree with subfolders, empty
# folders, Unicode names and empty files into the real runners (32- and
# 64-bit), runs the packed programs silently and checks with the probe
# payload that every file lies where it belongs; checks that the Windows
# build of the packer writes the same bytes; signs a packed program with a
# throwaway certificate and checks that the signature holds, covers the
# package, and that the signed program still runs.
#   pack_e2e.sh HOST_PACKER WIN32_BUILD_DIR WIN64_BUILD_DIR
set -euo pipefail

packer=$(realpath "$1")
win32=$(realpath "$2")
win64=$(realpath "$3")
source "$(dirname "$0")/pack_steps.sh"

for f in "$win32/tobrin.exe" "$win32/probe.exe" "$win32/tobrin-pack.exe" "$win64/tobrin.exe"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing: build the Windows presets first (make build)"; exit 1; }
done

enter_wine_and_work_folder tobrin-pack-e2e "$@"

# A machine that runs no 32-bit programs runs the 64-bit build's programs in
# place of the 32-bit ones.
bits=32
runs_32bit "the 32-bit programs (the 64-bit build runs in their place)" || { win32=$win64 bits=64; }

# --- the tree ----------------------------------------------------------------
tree=tree
mkdir -p "$tree/sub/deeper" "$tree/empty" "$tree/Zeta/also empty" "$tree/ünï 漢字" "$tree/Ωmega"
cp "$win32/probe.exe" "$tree/probe.exe"
# AssistFile.ini in UTF-16LE with its byte-order mark.
printf '[ParamOption]\r\nExecuteFileName=probe.exe\r\nParamA=--alpha\r\nParamB=--beta\r\nProductName=Pack E2E\r\n' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$tree/AssistFile.ini"
printf '[Setting]\r\nIsShowMessageBox=1\r\nIsOk=0\r\n' > "$tree/MessageSetting.ini"
{
  printf '\xef\xbb\xbf<?xml version="1.0" encoding="utf-8"?>\n<MessageInfo>\n'
  for code in CHS CHT DEU ENG ESP FRA ITA JPN KOR NLD RUS; do printf '  <%s>Message %s</%s>\n' $code $code $code; done
  printf '</MessageInfo>\n'
} > "$tree/MessageInfo.xml"
printf 'hello' > "$tree/sub/a.txt"
: > "$tree/sub/deeper/zero"
: > "$tree/zero.txt"
printf 'été' > "$tree/ünï 漢字/café.txt"
head -c 3000000 /dev/urandom > "$tree/Ωmega/日本語.bin"

# What the probe must find beside it: every file with its size, every folder.
expected=$(cd "$tree" && {
  find . -mindepth 1 -type d | sed 's|^\./||; s|^|dir=|'
  find . -type f -printf '%P:%s\n' | sed 's|^|file=|'
} | sed 's|/|\\|g' | LC_ALL=C sort)

# The prefix's TEMP, where the runners extract, with a sentinel that must
# outlive every run: a runner that removed TEMP itself would take it along.
temp_dir=$(winepath -u "$(wine cmd /c 'echo %TEMP%' </dev/null 2>/dev/null | tr -d '\r')")
[ -d "$temp_dir" ] || { echo "FAIL - the prefix's TEMP ('$temp_dir') is no folder"; exit 1; }
: > "$temp_dir/tobrin-pack-e2e.sentinel"
cleanup+=("$temp_dir/tobrin-pack-e2e.sentinel")
extraction_folders() {
  [ -f "$temp_dir/tobrin-pack-e2e.sentinel" ] || echo "TEMP lost its sentinel"
  ls -d "$temp_dir"/\{*\} 2>/dev/null | LC_ALL=C sort || true
}

# Changes a byte in the data area of a packed program.
damage_data() {
  local offset
  offset=$(listed "$1" dataOffset) || { echo "no dataOffset in the listing of $1"; return 1; }
  printf 'X' | dd of="$1" bs=1 seek=$((offset + 10)) conv=notrunc status=none
}

# Runs a packed program silently; checks its exit code, the probe's report
# and that the extraction folder is gone again.
run_packed() {
  local exe=$1 what=$2
  local before after report
  before=$(extraction_folders)
  run_probe "$exe"
  after=$(extraction_folders)
  check "$what: the runner ends with the payload's exit code" [ "$code" = 7 ]
  if [ ! -f report.txt ]; then fail "$what: the payload ran and wrote its report"; return; fi
  report=$(tr -d '\r' < report.txt)
  local found
  found=$(printf '%s\n' "$report" | grep -E '^(dir|file)=' | LC_ALL=C sort)
  if [ "$found" = "$expected" ]; then ok "$what: every file and folder lies where it belongs"; else
    fail "$what: every file and folder lies where it belongs"; diff <(printf '%s\n' "$expected") <(printf '%s\n' "$found") || true
  fi
  check "$what: ParamA, ParamB and the runner's own arguments reach the payload" \
    [ "$(printf '%s\n' "$report" | grep '^argv=' | tail -n 3 | tr '\n' ' ')" = "argv=--alpha argv=--beta argv=-s " ]
  local module cwd
  module=$(printf '%s\n' "$report" | sed -n 's/^module=//p')
  cwd=$(printf '%s\n' "$report" | sed -n 's/^cwd=//p')
  check "$what: the payload runs in its own folder" [ "${module%\\*}" = "$cwd" ]
  check "$what: the extraction folder is removed" [ "$before" = "$after" ]
}

# --- pack, list, verify ------------------------------------------------------
"$packer" create -o packed32.exe --stub "$win32/tobrin.exe" "$tree" > create.out 2> create.err
check "create packs the tree without a warning" [ ! -s create.err ]
# The runner's declarations have no other trace than the note create prints without them.
check "create finds that the runner checks seals and decodes" sh -c "! grep -q 'does not declare' create.out"
check "verify accepts the packed program" exits 0 "$packer" verify packed32.exe
check "list names all eleven message languages" \
  [ "$(listed packed32.exe settings languages)" = '["CHS", "CHT", "DEU", "ENG", "ESP", "FRA", "ITA", "JPN", "KOR", "NLD", "RUS"]' ]
check "the packed program is still a PE program to objdump" is_pe_program packed32.exe $bits

# --- the Windows build of the packer writes the same bytes ---------------------
win_pack() { wine "$win32/tobrin-pack.exe" "$@" </dev/null; }
win_stub=$(winepath -w "$win32/tobrin.exe")
win_pack create -o packed-by-windows.exe --stub "$win_stub" "$tree" > win.out 2> win.err || true
check "the Windows packer writes the same program as the host packer" cmp -s packed32.exe packed-by-windows.exe
win_pack extract packed32.exe extracted-by-windows >/dev/null 2>&1 || true
check "the Windows packer extracts every file as packed" diff -r "$tree" extracted-by-windows
code=0
win_pack extract packed32.exe 'blank-end ' >/dev/null 2>&1 || code=$?
check "the Windows packer refuses a folder ending in a blank and makes none" \
  sh -c "[ $code = 1 ] && ! ls -d blank-end* 2>/dev/null"

# --- a tree deeper than MAX_PATH, packed and extracted by the Windows packer -----
probe_folder long "$win32/probe.exe"
deep_dir=long
while [ $(( ${#work} + ${#deep_dir} )) -lt 300 ]; do deep_dir="$deep_dir/folder-$(printf '%040d' ${#deep_dir})"; done
mkdir -p "$deep_dir"
printf 'deep' > "$deep_dir/deep.txt"
head -c 100000 /dev/urandom > "$deep_dir/deep.bin"
win_pack create -o long.exe --stub "$win_stub" long > long-create.out 2>&1 || true
check "the Windows packer packs a tree whose paths exceed MAX_PATH" \
  sh -c "\"$packer\" list long.exe | grep -q 'deep.bin' && \"$packer\" verify long.exe > /dev/null 2>&1"
win_pack extract long.exe long-extracted >/dev/null 2>&1 || true
check "the Windows packer extracts such a tree as packed" diff -r long long-extracted
cp long.exe long-damaged.exe
damage_data long-damaged.exe || fail "the deep package's data area can be found"
code=0
win_pack extract long-damaged.exe long-kept-nothing >/dev/null 2>&1 || code=$?
kept=$(if [ -e long-kept-nothing ]; then echo kept; else echo gone; fi)
check "a damaged deep package extracted by the Windows packer leaves nothing" [ "$code:$kept" = 1:gone ]
before=$(extraction_folders)
run_probe long.exe
check "the deep package runs and its extraction folder is removed" [ "$code:$(extraction_folders)" = "7:$before" ]

# --- both packers judge a catalogue alike ----------------------------------------
# libxml2 in the host packer, the runner's own XML reader in the Windows one:
# each warns about exactly the same catalogues (in words of its own). Those
# of the shared well-formedness table are held to it on each side
# (settings_files_test, settings_parity_test): here one sound catalogue,
# an encoding that table leaves to the component, and catalogues beyond it.
catalogue_warning() { { grep 'MessageInfo.xml' "$1" || true; } | sed 's/.*MessageInfo.xml[^:]*: //; s/ (.*//; s/:.*//' | head -n 1; }
judge_catalogue() {
  local what=$1 xml=$2 host win
  rm -rf cat cat.exe && probe_folder cat "$win32/probe.exe"
  printf '[Setting]\r\nIsShowMessageBox=1\r\n' > cat/MessageSetting.ini
  printf '%s' "$xml" > cat/MessageInfo.xml
  if ! "$packer" create -o cat.exe --stub "$win32/tobrin.exe" cat > /dev/null 2> cat-host.err; then
    fail "create packs a catalogue that is $what"; cat cat-host.err; return
  fi
  win_pack verify cat.exe > /dev/null 2> cat-win.err || true
  host=$(catalogue_warning cat-host.err)
  win=$(catalogue_warning cat-win.err)
  check "both packers warn alike about a catalogue: $what ('${host:-no warning}')" [ "${host:+warned}" = "${win:+warned}" ]
}
judge_catalogue "well-formed" '<MessageInfo><ENG>Go</ENG></MessageInfo>'
judge_catalogue "a DTD with an entity" '<!DOCTYPE MessageInfo [<!ENTITY e "x">]><MessageInfo><ENG>&e;</ENG></MessageInfo>'
judge_catalogue "Shift JIS" $'<?xml version="1.0" encoding="shift_jis"?><MessageInfo><ENG>\x93\xfa</ENG></MessageInfo>'
judge_catalogue "KOI8-R" $'<?xml version="1.0" encoding="KOI8-R"?><MessageInfo><RUS>\xf0\xd2</RUS></MessageInfo>'
judge_catalogue "ISO-8859-2" $'<?xml version="1.0" encoding="ISO-8859-2"?><MessageInfo><ENG>\xb1</ENG></MessageInfo>'
judge_catalogue "other root" '<Messages><ENG>x</ENG></Messages>'

# --- run it, 32- and 64-bit ------------------------------------------------------
run_packed packed32.exe "32-bit runner"
"$packer" create -o packed64.exe --stub "$win64/tobrin.exe" "$tree" > /dev/null
run_packed packed64.exe "64-bit runner"
"$packer" create --no-seal -o unsealed32.exe --stub "$win32/tobrin.exe" "$tree" > /dev/null
run_packed unsealed32.exe "unsealed package, 32-bit runner"

# --- PE32 programs, their addresses rewritten in the package, byte for byte -------
# Wine's own i386 DLLs as the bench finds them, and odd ones the rewrite must
# leave alone: PE32+, ranges that overlap, a header cut short, e_lfanew far out.
dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
if [ -d "$dlls" ]; then
  probe_folder pe "$win32/probe.exe"
  for dll in shell32 comctl32 msvcrt user32 ole32 kernelbase; do cp "$dlls/$dll.dll" pe/; done
  mkdir pe/odd
  cp "$win64/tobrin.exe" pe/odd/pe32plus.exe
  head -c 200 "$dlls/user32.dll" > pe/odd/cut.dll
  python3 - "$dlls/msvcrt.dll" pe/odd <<'PY'
import struct, sys
image = bytearray(open(sys.argv[1], 'rb').read())
optional = struct.unpack_from('<I', image, 0x3C)[0] + 24
overlap = bytearray(image)
struct.pack_into('<I', overlap, optional + 28, 0xA0000000 - 0x1000)  # ImageBase
open(sys.argv[2] + '/overlap.dll', 'wb').write(overlap)
struct.pack_into('<I', image, 0x3C, 0x7FFFFFF0)
open(sys.argv[2] + '/far.dll', 'wb').write(image)
PY
  for runner in "$win32" "$win64"; do
    rm -rf copied && mkdir copied
    "$packer" create -o pe.exe --stub "$runner/tobrin.exe" pe > /dev/null
    check "a runner that undoes the rewrite gets it ($runner)" [ "$(listed pe.exe mark)" = '"TbAr"' ]
    PROBE_COPY=$(winepath -w "$work/copied") run_probe pe.exe
    check "every PE32 program and odd file comes out of the runner byte for byte ($runner)" \
      sh -c "[ $code = 7 ] && diff -r pe copied"
  done
  rm -rf pe-extracted
  "$packer" extract pe.exe pe-extracted > /dev/null
  check "extract gives every rewritten program back byte for byte" diff -r pe pe-extracted
fi

# --- settings from the command line alone; init's templates as they are ---------
mkdir flags && cp "$win32/probe.exe" flags/probe.exe
"$packer" create -o flags.exe --stub "$win32/tobrin.exe" --run probe.exe --param-a "--alpha ü 漢" \
  --param-b " --beta" --product "Flags" --ask --text "ENG=Go?" --text "DEU=Los?" flags > /dev/null 2> flags.err
check "create packs from the settings options alone" [ ! -s flags.err ]
run_probe flags.exe
check "the options' ParamA and ParamB reach the payload, every character as given" \
  [ "$(tr -d '\r' < report.txt 2>/dev/null | grep '^argv=' | tail -n 5 | tr '\n' ' ')" = "argv=--alpha argv=ü argv=漢 argv=--beta argv=-s " ]
mkdir templates
"$packer" init templates --run probe.exe > /dev/null
cp "$win32/probe.exe" templates/probe.exe
"$packer" create -o templates.exe --stub "$win32/tobrin.exe" templates > /dev/null 2> templates.err
check "init's templates pack without a warning" [ ! -s templates.err ]
run_probe templates.exe
check "init's templates run their payload" [ "$code" = 7 ]

# --- sign after packing ----------------------------------------------------------
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 1 -subj "/CN=Tobrin Test Vendor" \
  -addext "extendedKeyUsage=codeSigning" 2>/dev/null
osslsigncode sign -certs cert.pem -key key.pem -n "Pack E2E" -in packed32.exe -out signed.exe > sign.out 2>&1
check "osslsigncode signs the packed program" grep -q Succeeded sign.out
check "the signature holds" sh -c "osslsigncode verify -CAfile cert.pem signed.exe > osslverify.out 2>&1"
code=0
"$packer" verify signed.exe > /dev/null 2> signed-verify.err || code=$?
check "tobrin-pack verify accepts the signed program, without a warning" [ "$code" = 0 -a ! -s signed-verify.err ]
check "tobrin-pack list finds the signature after the package" [ "$(listed signed.exe signature size)" -gt 0 ]
digest=$(listed packed32.exe seal digest)
check "signing keeps the package's seal" [ -n "$digest" -a "$(listed signed.exe seal digest)" = "$digest" ]
run_packed signed.exe "signed 32-bit runner"
# The signature covers the package: a changed byte in the data area breaks it.
cp signed.exe tampered.exe
damage_data tampered.exe || fail "the signed package's data area can be found"
check "a changed package byte breaks the signature" sh -c "! osslsigncode verify -CAfile cert.pem tampered.exe >/dev/null 2>&1"

finish
