#!/usr/bin/env bash
# The long hostile-input campaign: scripts/fuzz.sh [CASES] [SEED]
# Builds stream_fuzz.exe and runs CASES cases (default 100000) of the value-stream and tree-stream
# rotation seeded by SEED (default 1) under Wine's heap checking, split over FUZZ_JOBS processes
# (default: the number of cores). Prints cases per second and ends with "N passed, M failed".
# Failing cases are saved in build/fuzz-failures/ as .case files; copy one to config/fuzz_cases/
# and the fuzz test (ctest -R ValueStreamFuzz) replays it. Damaged engine libraries are not
# fuzzed here: their shapes run through vpedrive doctor, validate and run in ctest's
# DamagedLibrary tests (testsupport/damaged_library.h), cheap enough for every suite.
# Exit status: 0 when every case held and Wine reported no heap damage.
set -euo pipefail
cases=${1:-100000}
seed=${2:-1}
jobs=${FUZZ_JOBS:-$(nproc)}
. "$(dirname "$0")/env.sh"
vpe_make_prefix
cmake --build "$VPE_BUILD" -j2 --target stream_fuzz >/dev/null
mkdir -p "$VPE_BUILD/fuzz-failures"
# The shards' output and Wine's messages stay in build/fuzz-logs/ for a look afterwards.
work="$VPE_BUILD/fuzz-logs"
rm -rf "$work"
mkdir -p "$work"
start=$(date +%s)
pids=()
for ((shard = 0; shard < jobs; shard++)); do
  (cd "$VPE_BUILD" && WINEDEBUG=warn+heap wine bin/stream_fuzz.exe "$cases" "$seed" \
    fuzz-failures "$shard" "$jobs" >"$work/out.$shard" 2>"$work/err.$shard"; echo $? >"$work/rc.$shard") &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || true
done
seconds=$(($(date +%s) - start))
status=0
passed=0
failed=0
for ((shard = 0; shard < jobs; shard++)); do
  # Wine's C runtime ends lines with CR LF.
  tr -d '\r' <"$work/out.$shard" >"$work/out.$shard.txt"
  grep -v ' passed, ' "$work/out.$shard.txt" | sed "s/^/[shard $shard] /"
  if grep -E "err:heap|warn:heap" "$work/err.$shard" | head -5; then
    echo "[shard $shard] Wine reported heap damage (above)"
    status=1
  fi
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$work/out.$shard.txt" | tail -1 || true)
  if [ -z "$line" ]; then
    echo "[shard $shard] ended without a verdict (exit $(cat "$work/rc.$shard" 2>/dev/null))"
    status=1
    continue
  fi
  passed=$((passed + $(echo "$line" | cut -d' ' -f1)))
  failed=$((failed + $(echo "$line" | cut -d' ' -f3)))
done
echo "$((passed + failed)) cases in $seconds s with $jobs processes: $(((passed + failed) / (seconds > 0 ? seconds : 1))) cases/s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
