#!/usr/bin/env bash
# Runs every benchmark of the project and prints one table: figure, value, the baseline
# measured in the same run, and the ratio. Installs and builds first, like test.sh.
# VPE_IDLE_SECONDS (default 60) sets the length of the idle measurement.
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

vpe_install_packages
vpe_make_prefix
vpe_build Release >&2

vpe_start_x
trap 'vpe_stop_wineserver; vpe_stop_x' EXIT
vpe_start_wineserver

lines=$(mktemp)
run_bench() {
  vpe_log "running $*"
  (cd "$VPE_BUILD/bin" && wine "$@" 2>/dev/null) | tr -d '\r' | tee /dev/stderr | grep '^BENCH|' >>"$lines" || true
}

run_bench harness_bench.exe 5
run_bench checklog_bench.exe 1
[ -f "$VPE_BUILD/bin/stream_bench.exe" ] && run_bench stream_bench.exe

# vpedrive validate: a whole validation of the reference engine at strictness 5 against its
# 30 s budget, and what one more check costs when it runs in a process of its own (the
# baseline: a whole --in-process run of that check, with vpedrive's start-up and probe).
wall_ms() {
  local start end
  start=$(date +%s%N)
  (cd "$VPE_BUILD/bin" && wine "$@" >/dev/null 2>&1) || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
vpe_log "timing vpedrive validate on the reference engine"
whole=$(wall_ms vpedrive.exe validate --engine vpe.dll --strictness 5 --seed 1)
awk -v v="$whole" 'BEGIN { printf "BENCH|vpedrive validate, reference engine, strictness 5|%d ms|30000 ms|%.2f\n", v, v / 30000 }' >>"$lines"
one=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1)
five=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1 --repeat 5)
inside=$(wall_ms vpedrive.exe validate --engine vpe.dll --only '^vtable-sanity$' --seed 1 --in-process)
awk -v o="$one" -v f="$five" -v n="$inside" 'BEGIN { c = (f - o) / 4; printf "BENCH|validate: one check in its own process (vtable-sanity, mean of 4)|%d ms|%d ms|%.2f\n", c, n, c / n }' >>"$lines"

# Idle CPU of the harness, read from /proc: Wine's GetProcessTimes answers 0 for other processes.
idle=${VPE_IDLE_SECONDS:-60}
vpe_log "measuring the harness's CPU time over ${idle} s of idle ticking"
(cd "$VPE_BUILD/bin" && wine vpetest.exe >/dev/null 2>&1 &)
sleep 3
pid=$(pgrep -f 'vpetest.exe' | head -n 1 || true)
if [ -n "$pid" ]; then
  ticks=$(getconf CLK_TCK)
  cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
  before=$(cpu "$pid")
  sleep "$idle"
  after=$(cpu "$pid")
  awk -v b="$before" -v a="$after" -v t="$ticks" -v s="$idle" 'BEGIN {
    ms = (a - b) * 1000 / t; wall = s * 1000;
    printf "BENCH|harness CPU while idle (vs wall time)|%.0f ms|%.0f ms|%.5f\n", ms, wall, ms / wall }' >>"$lines"
  kill "$pid" 2>/dev/null || true
fi

printf '\n%-58s %14s %14s %10s\n' figure value baseline ratio
awk -F'|' '{ printf "%-58s %14s %14s %10s\n", $2, $3, $4, $5 }' "$lines"
rm -f "$lines"
