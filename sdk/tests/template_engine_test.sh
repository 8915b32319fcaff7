#!/usr/bin/env bash
# An engine author's road: copy the installed template, configure and build it out of the source
# tree against the installed package only, check it with vpedrive doctor, run the harness with it.
# Usage: template_engine_test.sh PREFIX WORK_DIR   (Wine prefix and DISPLAY from the caller)
set -eu
prefix=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cp -r "$prefix/sdk/template" "$work/src"

cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_SYSTEM_PROCESSOR=i686 -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++-posix \
  -DCMAKE_PREFIX_PATH="$prefix/sdk" >"$work/configure.txt" 2>&1 ||
  { cat "$work/configure.txt"; exit 1; }
cmake --build "$work/build" >"$work/build.txt" 2>&1 || { cat "$work/build.txt"; exit 1; }
engine=$work/build/vpe.dll
[ -f "$engine" ] || { echo "FAIL: no vpe.dll in $work/build"; exit 1; }

# Wine's output goes through a file: a helper outliving the run must not hold ctest's pipe.
run_wine() {
  local out=$work/wine.txt status=0
  wine "$@" >"$out" 2>&1 </dev/null || status=$?
  tr -d '\r' <"$out"
  return $status
}
win_engine=$(winepath -w "$engine")
drive=$prefix/bin/vpedrive.exe

status=0
doctor=$(run_wine "$drive" doctor --engine "$win_engine") || status=$?
echo "$doctor"
[ $status -eq 0 ] || { echo "FAIL: doctor gave $status"; exit 1; }

transcript=$(run_wine "$drive" run --timeout 90 --engine "$win_engine" \
  Install Start IsEngineRunning Stop Uninstall) || status=$?
echo "$transcript"
[ $status -eq 0 ] || { echo "FAIL: vpedrive run gave $status"; exit 1; }
for box in "Init returned 0" "Install returned 0" "Engine start = 0" "IsEngineRunning = TRUE" \
  "Engine stop = 0" "Uninstall returned 0"; do
  grep -qF "box \"Internal Error\": $box" <<<"$transcript" || { echo "missing box: $box"; status=1; }
done
exit $status
