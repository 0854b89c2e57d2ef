# The steps of the packer's two end-to-end scripts, sourced by both after
# `set -euo pipefail`: pack_e2e.sh (the build tree's packer and runners) and
# tests/dist/installed_packer.sh (the installed .deb and zip). Each sets
# `packer` to the packer it runs natively.

# Runs the calling script again inside the project's Wine environment unless
# it runs there already; then makes a work folder, removed at exit with all
# that `cleanup` names, and enters it (relative paths serve the Windows
# packer under Wine too).   enter_wine_and_work_folder NAME "$@"
enter_wine_and_work_folder() {
  local name=$1
  shift
  if [ -z "${TOBRIN_PACK_STEPS_ENV:-}" ]; then
    export TOBRIN_PACK_STEPS_ENV=1
    exec "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env" bash "$0" "$@"
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
  cleanup=("$work")
  trap 'rm -rf "${cleanup[@]}"' EXIT
  cd "$work"
}

passed=0
failed=0
ok() { echo "ok - $1"; passed=$((passed + 1)); }
fail() { echo "FAIL - $1"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
# Whether a command ends with CODE, its output dropped.   check WHAT exits 1 CMD...
exits() { local want=$1 got=0; shift; "$@" </dev/null >/dev/null 2>&1 || got=$?; [ "$got" = "$want" ]; }
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }

# False, saying that WHAT is not run, on a machine whose Wine runs no 32-bit
# programs (scripts/wine-env).
runs_32bit() { [ -z "${TOBRIN_WINE_64BIT_ONLY:-}" ] || { echo "NOT RUN - $1: this machine runs no 32-bit programs"; false; }; }

# A folder to pack: the probe and an AssistFile.ini that starts it, with
# further lines.   probe_folder DIR PROBE.exe [LINES]
probe_folder() {
  mkdir -p "$1"
  cp "$2" "$1/probe.exe"
  printf '[ParamOption]\r\nExecuteFileName=probe.exe\r\n%s' "${3:-}" > "$1/AssistFile.ini"
}

# Runs a packed program silently with the probe as its payload, which writes
# report.txt and ends with 7; sets `code`.
run_probe() {
  rm -f report.txt
  code=0
  PROBE_REPORT=$(winepath -w "$work/report.txt") PROBE_EXIT_CODE=7 wine "$1" -s </dev/null >/dev/null 2>&1 || code=$?
}

is_pe_program() {  # FILE BITS
  local format=pei-i386
  [ "$2" = 64 ] && format=pei-x86-64
  x86_64-w64-mingw32-objdump -f "$1" | grep -q "file format $format"
}

# A value of `list --json` of a packed program, as JSON.   listed OUT.exe settings languages
listed() {
  local exe=$1
  shift
  "$packer" list --json "$exe" | python3 -c 'import json, sys
value = json.load(sys.stdin)
for key in sys.argv[1:]: value = value[key]
print(json.dumps(value))' "$@"
}
