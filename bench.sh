#!/usr/bin/env bash
# Runs every benchmark of the project and prints one table: figure, value, the baseline
# measured in the same run, and the ratio. Installs and builds first, like test.sh.
# Exit status 0 when every benchmark ran and gave its figures, 1 otherwise (the table is printed
# either way, with the failures named below it).
# VPE_IDLE_SECONDS (default 60) sets the length of the idle measurement; VPE_SHOWN_RUNS (default
# 15) the number of counted start-to-window-shown runs of each kind; VPE_X64_RUNS (default 5) the
# number of runs whose median gives each figure of an x64 build against its x86 build.
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

vpe_install_packages
vpe_make_prefix
vpe_make_prefix64
vpe_build Release >&2

vpe_start_x
harness_pid=
lines=$(mktemp)
cleanup() {
  # Only the harness this script started, by its own process id.
  [ -n "$harness_pid" ] && kill "$harness_pid" 2>/dev/null
  rm -f "$lines"
  vpe_stop_wineserver
  vpe_stop_wineserver64
  vpe_stop_x
}
trap cleanup EXIT
vpe_start_wineserver

failures=()
# Runs one benchmark from build/bin and keeps its BENCH lines; a benchmark that ends with a
# non-zero status or prints no figure is a failure.
run_bench() {
  vpe_log "running $*"
  local output status
  output=$(mktemp)
  set +e
  (cd "$VPE_BUILD/bin" && wine "$@" 2>/dev/null) | tr -d '\r' | tee /dev/stderr >"$output"
  status=${PIPESTATUS[0]}
  set -e
  if ! grep '^BENCH|' "$output" >>"$lines" && [ "$status" -eq 0 ]; then
    status=1
  fi
  [ "$status" -eq 0 ] || failures+=("$1 (status $status)")
  rm -f "$output"
}

run_bench harness_bench.exe 5 "${VPE_SHOWN_RUNS:-15}"
# The same window-shown and fake-check figures for the MSVC-ABI harness and reference engine.
if [ -f "$VPE_BUILD/msvc/bin/vpetest.exe" ]; then
  run_bench harness_bench.exe 0 "${VPE_SHOWN_RUNS:-15}" '..\msvc\bin' 'MSVC-ABI harness'
else
  failures+=("MSVC-ABI harness figures (no build/msvc/bin/vpetest.exe)")
fi
run_bench checklog_bench.exe 1
run_bench stream_bench.exe

# vpedrive validate: a whole validation of the reference engine at strictness 5 against its
# 30 s budget, and what one more check costs when it runs in a process of its own (the
# baseline: a whole --in-process run of that check, with vpedrive's start-up and probe).
# Wall-clock milliseconds of one Wine program run in a folder (wall_ms: this build's bin/).
wall_ms_in() {
  local folder=$1 start end
  shift
  start=$(date +%s%N)
  (cd "$folder" && wine "$@" >/dev/null 2>&1) || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
wall_ms() { wall_ms_in "$VPE_BUILD/bin" "$@"; }
vpe_log "timing vpedrive validate on the reference engine"
whole=$(wall_ms vpedrive.exe validate --engine vpe.dll --strictness 5 --seed 1)
awk -v v="$whole" 'BEGIN { printf "BENCH|vpedrive validate, reference engine, strictness 5|%d ms|30000 ms|%.2f\n", v, v / 30000 }' >>"$lines"
one=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1)
five=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1 --repeat 5)
inside=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1 --in-process)
awk -v o="$one" -v f="$five" -v n="$inside" 'BEGIN { c = (f - o) / 4; printf "BENCH|validate: one check in its own process (vtable-sanity, mean of 4)|%d ms|%d ms|%.2f\n", c, n, c / n }' >>"$lines"

# The same figures from an earlier build (VPE_COMPARE_BIN: a folder with its vpedrive.exe, say
# a build of the commit before the in-process code moved into vpecheck.exe), both builds judging
# this build's reference engine: the status-latency check's worst call and 99th percentile
# (medians of VPE_LATENCY_RUNS --in-process runs) and the one-check time as above (median of as
# many), the two builds' runs alternating so that both see the same load. Each line's baseline
# is the earlier build's figure: a ratio within 0.90..1.10 is a change of at most 10 %.
# Prints "worst p99" in ms: the status-latency note of an --in-process run of that one check.
latency_of() {
  (cd "$1" && wine vpedrive.exe validate --engine "$2" --only '^status-latency$' --seed 1 \
    --in-process 2>/dev/null) | tr -d '\r' |
    sed -n 's/.*worst \([0-9.]*\) ms.*99th percentile \([0-9.]*\) ms.*/\1 \2/p' | head -n 1
}
one_check_ms() {
  local one five
  one=$(wall_ms_in "$1" vpedrive.exe validate --engine "$2" --only '^vtable-sanity$' --seed 1)
  five=$(wall_ms_in "$1" vpedrive.exe validate --engine "$2" --only '^vtable-sanity$' --seed 1 \
    --repeat 5)
  echo $(((five - one) / 4))
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }
if [ -n "${VPE_COMPARE_BIN:-}" ]; then
  if [ -f "$VPE_COMPARE_BIN/vpedrive.exe" ]; then
    vpe_log "comparing the status-latency and one-check figures with $VPE_COMPARE_BIN"
    engine=$(winepath -w "$VPE_BUILD/bin/vpe.dll")
    samples=$(mktemp)
    for _ in $(seq "${VPE_LATENCY_RUNS:-9}"); do
      for side in now before; do
        folder=$VPE_BUILD/bin
        [ "$side" = before ] && folder=$VPE_COMPARE_BIN
        figures=$(latency_of "$folder" "$engine")
        [ -n "$figures" ] && echo "$side $figures $(one_check_ms "$folder" "$engine")" >>"$samples"
      done
    done
    figure() { awk -v s="$1" -v c="$2" '$1 == s { print $c }' "$samples" | median; }
    if [ -n "$(figure now 2)" ] && [ -n "$(figure before 2)" ]; then
      awk -v a="$(figure now 2)" -v b="$(figure before 2)" -v c="$(figure now 3)" \
        -v d="$(figure before 3)" -v e="$(figure now 4)" -v f="$(figure before 4)" 'BEGIN {
        printf "BENCH|status-latency worst call, reference engine (vs the earlier build)|%.1f ms|%.1f ms|%.2f\n", a, b, a / b
        printf "BENCH|status-latency 99th percentile, reference engine (vs the earlier build)|%.1f ms|%.1f ms|%.2f\n", c, d, c / d
        printf "BENCH|one check in its own process (vtable-sanity; vs the earlier build)|%d ms|%d ms|%.2f\n", e, f, e / f }' >>"$lines"
    else
      failures+=("comparison with $VPE_COMPARE_BIN (no status-latency figures)")
    fi
    rm -f "$samples"
  else
    failures+=("comparison: no vpedrive.exe in $VPE_COMPARE_BIN")
  fi
fi

# The x64 builds, in the 64-bit prefix, where vpedrive.exe and harness_bench.exe (x86 programs)
# start the x64 harnesses and helpers. Window shown and fake check as for the x86 harnesses above
# (the baseline: the x86 minimal window); the status-latency check's worst call and 99th
# percentile (--in-process) and the one-check time of each x64 reference engine against the x86
# reference engine of the same ABI, both judged in this prefix, their runs alternating. On a
# machine of the qemu kind the x86 side runs under qemu-i386 and the x64 side natively.
x64_bench() {
  local folder=$1 x86=$2 label=$3 samples x64engine x86engine side engine figures
  if ! [ -f "$VPE_BUILD/$folder/bin/vpetest.exe" ]; then
    failures+=("$label figures (no build/$folder/bin/vpetest.exe)")
    return
  fi
  run_bench harness_bench.exe 0 "${VPE_SHOWN_RUNS:-15}" "..\\$folder\\bin" "$label harness"
  vpe_log "timing the status-latency check and one check of the $label reference engine"
  x64engine=$(winepath -w "$VPE_BUILD/$folder/bin/vpe.dll")
  x86engine=$(winepath -w "$VPE_BUILD/$x86/vpe.dll")
  samples=$(mktemp)
  for _ in $(seq "${VPE_X64_RUNS:-5}"); do
    for side in x64 x86; do
      engine=$x64engine
      [ "$side" = x86 ] && engine=$x86engine
      figures=$(latency_of "$VPE_BUILD/bin" "$engine")
      [ -n "$figures" ] && echo "$side $figures $(one_check_ms "$VPE_BUILD/bin" "$engine")" >>"$samples"
    done
  done
  figure() { awk -v s="$1" -v c="$2" '$1 == s { print $c }' "$samples" | median; }
  if [ -n "$(figure x64 2)" ] && [ -n "$(figure x86 2)" ]; then
    awk -v l="$label" -v a="$(figure x64 2)" -v b="$(figure x86 2)" -v c="$(figure x64 3)" \
      -v d="$(figure x86 3)" -v e="$(figure x64 4)" -v f="$(figure x86 4)" 'BEGIN {
      printf "BENCH|%s: status-latency worst call, reference engine (vs its x86 build)|%.1f ms|%.1f ms|%.2f\n", l, a, b, a / b
      printf "BENCH|%s: status-latency 99th percentile, reference engine (vs its x86 build)|%.1f ms|%.1f ms|%.2f\n", l, c, d, c / d
      printf "BENCH|%s: one check in its own process (vtable-sanity; vs its x86 build)|%d ms|%d ms|%.2f\n", l, e, f, e / f }' >>"$lines"
  else
    failures+=("$label: no status-latency figures")
  fi
  rm -f "$samples"
}
x86_prefix=$WINEPREFIX
export WINEPREFIX=$VPE_WINEPREFIX64 WINEARCH=win64
vpe_start_wineserver
x64_bench x64 bin "x64 GCC-ABI"
x64_bench msvc-x64 msvc/bin "x64 MSVC-ABI"
export WINEPREFIX=$x86_prefix
unset WINEARCH

# Idle CPU of the harness, read from /proc: Wine's GetProcessTimes answers 0 for other processes.
# The harness is started with exec, so $! is its own process (Wine and qemu keep the pid).
idle=${VPE_IDLE_SECONDS:-60}
vpe_log "measuring the harness's CPU time over ${idle} s of idle ticking"
cd "$VPE_BUILD/bin"
exec_harness() { exec wine vpetest.exe >/dev/null 2>&1 </dev/null; }
exec_harness &
harness_pid=$!
cd - >/dev/null
sleep 3
if grep -qa 'vpetest' "/proc/$harness_pid/cmdline" 2>/dev/null; then
  ticks=$(getconf CLK_TCK)
  cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
  before=$(cpu "$harness_pid")
  sleep "$idle"
  after=$(cpu "$harness_pid")
  awk -v b="$before" -v a="$after" -v t="$ticks" -v s="$idle" 'BEGIN {
    ms = (a - b) * 1000 / t; wall = s * 1000;
    printf "BENCH|harness CPU while idle (vs wall time)|%.0f ms|%.0f ms|%.5f\n", ms, wall, ms / wall }' >>"$lines"
else
  failures+=("idle harness (not running after 3 s)")
fi
kill "$harness_pid" 2>/dev/null || true
wait "$harness_pid" 2>/dev/null || true
harness_pid=

printf '\n%-94s %14s %14s %10s\n' figure value baseline ratio
awk -F'|' '{ printf "%-94s %14s %14s %10s\n", $2, $3, $4, $5 }' "$lines"
if [ ${#failures[@]} -gt 0 ]; then
  printf '\nFAILED: %s\n' "${failures[@]}"
  exit 1
fi
