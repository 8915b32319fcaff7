#!/usr/bin/env bash
# The validator's fault engines in both ABIs of one machine type (x86, or x64 in a 64-bit
# prefix): each check runs in the helper of the engine's machine type and ABI with the arguments
# vpedrive passes it, and the GCC-ABI build and the MSVC-ABI build of each engine must get the
# same status, the expected one, with the expected evidence in their crash/detail lines.
# Usage: fault_table_test.sh GCC_HELPER MSVC_HELPER GCC_ENGINES MSVC_ENGINES WORK_DIR
# (the engine folders hold <name>/vpe.dll; Wine prefix and DISPLAY come from the caller)
set -u
gccHelper=$1 msvcHelper=$2 gccEngines=$3 msvcEngines=$4 work=$5
mkdir -p "$work"
export VPE_ENGINE_HOME
VPE_ENGINE_HOME=$(winepath -w "$work")\\engine-home

# engine | check | extra arguments | status (empty: the helper ends without one) | evidence (an
# extended regex of a crash/detail line)
table=(
  "validate_good|lifecycle||passed|"
  "validate_crash_start|lifecycle||crashed|^crash exception 0xC00000(05|1D) at vpe\\.dll\\+.* in slot 6 \\(Start\\)"
  "validate_abort_start|lifecycle||crashed|^crash aborted in slot 6 \\(Start\\), state [A-Za-z]+: the engine ended the process inside the call"
  "validate_abort_thread|lifecycle|||"
  "doctor_factory_throw|binding||crashed|^crash .*in the factory GetCorvinexEngine, state "
  "validate_hang_install|lifecycle|--timeout 20|timed out|^detail slot 2 \\(Install\\), state .*did not return within"
  "run_slow_status_engine|status-latency|--timeout 20|timed out|^detail slot 8 \\(IsEngineRunning\\), state .*did not return within"
  "validate_slow_status|status-latency||failed|^detail .*slot 24 IsAnonymityActive took"
  "validate_heap_string|strings||failed|^detail .*slot 19 AnalyseCheckLog"
  "validate_left_thread|unload-hygiene||failed|^detail .*still ran after stop and unload"
  "validate_swallowed_av|swallowed-faults|--strictness 7|failed|^detail .*slot 6 \\(Start\\)"
  "validate_endless_stop|stop-responsiveness||failed|^detail .*slot 11 IsUpdateRunning still answered TRUE"
)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs one check in one helper and prints its report lines (Wine's output through a file: a
# process outliving the run must not hold ctest's pipe).
run_check() {
  local helper=$1 engine=$2 check=$3 extra=$4 out=$work/out.txt
  local strictness=5 timeout=120
  [[ $extra =~ --strictness\ ([0-9]+) ]] && strictness=${BASH_REMATCH[1]}
  [[ $extra =~ --timeout\ ([0-9]+) ]] && timeout=${BASH_REMATCH[1]}
  wine "$helper" validate-check --check "$check" --engine "$(winepath -w "$engine")" \
    --strictness "$strictness" --seed 1 --timeout "$timeout" >"$out" 2>&1 </dev/null
  tr -d '\r' <"$out" | grep -E '^(status|crash|detail|dump) '
}

for row in "${table[@]}"; do
  IFS='|' read -r engine check extra status evidence <<<"$row"
  declare -A seen=()
  for abi in gcc msvc; do
    if [ "$abi" = gcc ]; then
      helper=$gccHelper dll=$gccEngines/$engine/vpe.dll
    else
      helper=$msvcHelper dll=$msvcEngines/$engine/vpe.dll
    fi
    if ! [ -f "$dll" ] || ! [ -f "$helper" ]; then
      fail "$engine ($abi): no $dll or $helper"
      continue
    fi
    report=$(run_check "$helper" "$dll" "$check" "$extra")
    got=$(sed -n 's/^status //p' <<<"$report" | tail -n 1)
    seen[$abi]=$got
    echo "$engine $check ($abi): ${got:-no status}"
    [ "$got" = "$status" ] || fail "$engine $check ($abi): status '${got:-none}', expected '$status'"$'\n'"$report"
    if [ -n "$evidence" ] && ! grep -qE "$evidence" <<<"$report"; then
      fail "$engine $check ($abi): no line matches /$evidence/"$'\n'"$report"
    fi
  done
  [ "${seen[gcc]:-}" = "${seen[msvc]:-}" ] ||
    fail "$engine $check: GCC ABI '${seen[gcc]:-}' but MSVC ABI '${seen[msvc]:-}'"
  unset seen
done
[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "PASS"
