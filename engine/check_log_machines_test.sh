#!/usr/bin/env bash
# Where each harness's fake check writes the check log under 64-bit Windows: a 32-bit harness
# below "Program Files (x86)", a 64-bit one below "Program Files" (each asks the system for its
# Program Files folder, and the system answers each machine type with its own). Every harness
# appends its 24 lines to its own machine type's log and leaves the other log alone.
# Usage: check_log_machines_test.sh WORK_DIR X86_HARNESS... -- X64_HARNESS...
#        (a 64-bit Wine prefix and DISPLAY from the caller)
set -eu
. "$(dirname "$0")/../scripts/tests/wine_test_lib.sh"
VPE_WINE_TIMEOUT=120
work=$1
shift
split_machines "$@"
rm -rf "$work"
mkdir -p "$work"


folder32=$(run_wine winepath -u 'C:\Program Files (x86)')
folder64=$(run_wine winepath -u 'C:\Program Files')
[ -d "$folder32" ] && [ -d "$folder64" ] && [ "$folder32" != "$folder64" ] ||
  fail "not a 64-bit prefix: '$folder32', '$folder64'"

# The engine folder of each Program Files folder, emptied for the test (a folder that was there
# is moved aside and comes back at the end); the fake check writes only into an existing folder.
# The harness's message box is switched off for the runs and put back afterwards.
key='HKCU\Software\Corvinex\DeveloperSettings'
box=$(run_wine reg query "$key" /v ShowInternalMessageBox | awk '$1 == "ShowInternalMessageBox" {print $3}') || true
restore() {
  local folder
  for folder in "$folder32" "$folder64"; do
    rm -rf "$folder/Veilpath Engine"
    [ ! -e "$folder/Veilpath Engine.saved-$$" ] ||
      mv "$folder/Veilpath Engine.saved-$$" "$folder/Veilpath Engine"
  done
  if [ -n "$box" ]; then
    run_wine reg add "$key" /v ShowInternalMessageBox /t REG_DWORD /d $((box)) /f >/dev/null
  else
    run_wine reg delete "$key" /v ShowInternalMessageBox /f >/dev/null || true
  fi
}
trap restore EXIT
for folder in "$folder32" "$folder64"; do
  [ ! -e "$folder/Veilpath Engine" ] || mv "$folder/Veilpath Engine" "$folder/Veilpath Engine.saved-$$"
  mkdir -p "$folder/Veilpath Engine/log"
done
run_wine reg add "$key" /v ShowInternalMessageBox /t REG_DWORD /d 0 /f >/dev/null

lines() {
  local log="$1/Veilpath Engine/log/check.log"
  if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi
}
# fake_check HARNESS OWN_FOLDER OTHER_FOLDER
fake_check() {
  local own_before other_before status=0
  [ -f "$1" ] || fail "no $1"
  own_before=$(lines "$2")
  other_before=$(lines "$3")
  run_wine "$1" fakecheck >/dev/null || status=$?
  [ $status -eq 0 ] || fail "$1 fakecheck ended with $status"
  [ "$(lines "$2")" -eq $((own_before + 24)) ] ||
    fail "$1 did not append its 24 lines below $2 ($own_before lines before, $(lines "$2") after)"
  [ "$(lines "$3")" -eq "$other_before" ] || fail "$1 wrote below $3"
  echo "ok: $1 wrote below $2"
}
for harness in "${x86[@]}"; do
  fake_check "$harness" "$folder32" "$folder64"
done
for harness in "${x64[@]}"; do
  fake_check "$harness" "$folder64" "$folder32"
done
grep -q 'VPE CHECK END' "$folder32/Veilpath Engine/log/check.log" || fail "no check in the x86 log"
grep -q 'VPE CHECK END' "$folder64/Veilpath Engine/log/check.log" || fail "no check in the x64 log"
