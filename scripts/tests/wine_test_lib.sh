# Shared by the test scripts that run Wine programs under ctest; sourced. The caller sets `work`
# (its scratch folder) before it calls run_wine.

# Prints "FAIL: MESSAGE" and ends the script with status 1.
fail() {
  echo "FAIL: $*"
  exit 1
}

# Runs `wine PROGRAM ARGS...` and prints what it wrote to its standard output and error, without
# carriage returns; returns its exit status (124 when VPE_WINE_TIMEOUT seconds, default 600, ran
# out). The output goes through $work/wine.txt: a process outliving the run must not hold
# ctest's pipe.
run_wine() {
  local out=$work/wine.txt status=0
  timeout "${VPE_WINE_TIMEOUT:-600}" wine "$@" >"$out" 2>&1 </dev/null || status=$?
  tr -d '\r' <"$out"
  return $status
}

# Splits "X86_PROGRAM... -- X64_PROGRAM..." into the arrays x86 and x64.
split_machines() {
  x86=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    x86+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  x64=("$@")
}
