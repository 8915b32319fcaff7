#!/usr/bin/env bash
# The helper of the MSVC-ABI build with the MSVC-ABI reference engine: doctor's probe binds it,
# and every check of the catalogue (as vpedrive validate --list names them) passes at
# strictness 10, as the MinGW pair does.
# Usage: msvc_helper_test.sh VPEDRIVE HELPER ENGINE WORK_DIR (Wine prefix and DISPLAY from the caller)
set -eu
. "$(dirname "$0")/../scripts/tests/wine_test_lib.sh"
drive=$1 helper=$2 engine=$3 work=$4
mkdir -p "$work"
for file in "$drive" "$helper" "$engine"; do
  [ -f "$file" ] || fail "no $file"
done
export VPE_ENGINE_HOME
VPE_ENGINE_HOME=$(winepath -w "$work")\\engine-home
enginePath=$(winepath -w "$engine")

# The probe's exit code (0x76700000 and up) does not survive a Unix exit status: its answer
# line tells.
probe=$(run_wine "$helper" doctor-probe "$enginePath") || true
echo "$probe"
grep -qx 'answer ok' <<<"$probe" || fail "doctor-probe did not answer ok"

checks=$(run_wine "$drive" validate --list | sed -n 's/^\([a-z-]*\) (level [0-9]*):.*/\1/p')
[ "$(wc -l <<<"$checks")" -ge 11 ] || fail "vpedrive validate --list named too few checks: $checks"
for check in $checks; do
  status=0
  report=$(run_wine "$helper" validate-check --check "$check" --engine "$enginePath" --strictness 10 \
    --seed 1 --timeout 120) || status=$?
  echo "$check: exit $status, $(tail -n 1 <<<"$report")"
  [ "$status" -eq 0 ] && [ "$(tail -n 1 <<<"$report")" = "status passed" ] ||
    fail "$check did not pass: $report"
done
echo "PASS"
