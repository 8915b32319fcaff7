#!/usr/bin/env bash
# The long hostile-input campaign: scripts/fuzz.sh [CASES] [SEED]
# Builds stream_fuzz.exe and runs CASES cases (default 100000) of the value-stream and tree-stream
# rotation seeded by SEED (default 1) under Wine's heap checking. Prints cases per second and
# ends with "N passed, M failed". Failing cases are saved in build/fuzz-failures/ as .case files;
# copy one to config/fuzz_cases/ and the fuzz test (ctest -R ValueStreamFuzz) replays it.
# Exit status: 0 when every case held and Wine reported no heap damage.
set -euo pipefail
cases=${1:-100000}
seed=${2:-1}
. "$(dirname "$0")/env.sh"
vpe_make_prefix
cmake --build "$VPE_BUILD" -j2 --target stream_fuzz >/dev/null
mkdir -p "$VPE_BUILD/fuzz-failures"
log=$(mktemp)
status=0
(cd "$VPE_BUILD" && WINEDEBUG=warn+heap wine bin/stream_fuzz.exe "$cases" "$seed" fuzz-failures) \
  2>"$log" || status=$?
if grep -E "err:heap|warn:heap" "$log" | head -5; then
  echo "Wine reported heap damage (above)"
  status=1
fi
rm -f "$log"
exit $status
