#!/usr/bin/env bash
# An engine author's road: copy the released template, configure and build it out of the source
# tree against the release's SDK only, check it with vpedrive doctor, and run it through vpedrive
# run (Install, Start, IsEngineRunning, Analyse Check Log, Stop, Uninstall and their boxes) under
# the harness vpedrive (bin\vpedrive.exe) chooses by itself for the engine's machine type and ABI,
# and an x64 engine also with vpedrive validate --strictness 10 --strict:
#   mingw:     MinGW-w64 i686, bin-mingw\'s harness.
#   msvc:      clang-cl with the release's sdk/clang-cl/clang-cl-i686.cmake, bin\'s harness.
#   mingw-x64: MinGW-w64 x86_64, bin-x64-mingw\'s harness.
#   msvc-x64:  clang-cl with the release's sdk/clang-cl/clang-cl-x86_64.cmake, bin-x64\'s harness.
# The x64 ones run in a 64-bit prefix. The engine's build, doctor and the run each name the
# harness folder.
# Usage: template_engine_test.sh RELEASE_DIR WORK_DIR mingw|msvc|mingw-x64|msvc-x64 [SOURCE_TREE]
#        (Wine prefix and DISPLAY from the caller). With SOURCE_TREE, the engine's build files
#        must not name anything in it.
set -eu
. "$(dirname "$0")/../../scripts/tests/wine_test_lib.sh"
release=$1 work=$2 abi=$3 tree=${4:-}
rm -rf "$work"
mkdir -p "$work"
cp -r "$release/sdk/template" "$work/src"

case $abi in
mingw)
  toolchain=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=i686
    -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++-posix)
  folder=bin-mingw
  ;;
msvc)
  toolchain=(-DCMAKE_TOOLCHAIN_FILE="$release/sdk/clang-cl/clang-cl-i686.cmake")
  folder=bin
  ;;
mingw-x64)
  toolchain=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64
    -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix)
  folder=bin-x64-mingw
  ;;
msvc-x64)
  toolchain=(-DCMAKE_TOOLCHAIN_FILE="$release/sdk/clang-cl/clang-cl-x86_64.cmake")
  folder=bin-x64
  ;;
*) echo "FAIL: expected mingw, msvc, mingw-x64 or msvc-x64, not $abi"; exit 1 ;;
esac
cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release "${toolchain[@]}" \
  -DCMAKE_PREFIX_PATH="$release/sdk" >"$work/configure.txt" 2>&1 ||
  { cat "$work/configure.txt"; exit 1; }
grep -qF "for $folder\\vpetest.exe of the release" "$work/configure.txt" ||
  { cat "$work/configure.txt"; echo "FAIL: the package did not name $folder"; exit 1; }
cmake --build "$work/build" >"$work/build.txt" 2>&1 || { cat "$work/build.txt"; exit 1; }
if [ "$abi" = mingw ]; then
  # A project that finds the package in two folders gets one library (configure only).
  mkdir -p "$work/twice"
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(TwoFolders CXX)' \
    'find_package(VeilpathEngineSdk 1.0 REQUIRED)' 'add_subdirectory(../src engine)' \
    >"$work/twice/CMakeLists.txt"
  cmake -S "$work/twice" -B "$work/twice/build" "${toolchain[@]}" \
    -DCMAKE_PREFIX_PATH="$release/sdk" >"$work/twice.txt" 2>&1 ||
    { cat "$work/twice.txt"; echo "FAIL: the package found twice does not configure"; exit 1; }
fi
engine=$work/build/vpe.dll
[ -f "$engine" ] || { echo "FAIL: no vpe.dll in $work/build"; exit 1; }
if [ -n "$tree" ]; then
  used=$(grep -rlF -e "$tree/base/" -e "$tree/sdk/" -e "$tree/cmake/" -e "$tree/engine/" \
    "$work/build" || true)
  [ -z "$used" ] || { echo "FAIL: the build reaches into the source tree: $used"; exit 1; }
fi

win_engine=$(winepath -w "$engine")
drive=$release/bin/vpedrive.exe

harness=$(winepath -w "$release/$folder/vpetest.exe")

status=0
doctor=$(run_wine "$drive" doctor --engine "$win_engine") || status=$?
echo "$doctor"
[ $status -eq 0 ] || { echo "FAIL: doctor gave $status"; exit 1; }
grep -qiF "bind it with $harness." <<<"$doctor" || { echo "FAIL: doctor did not name $harness"; exit 1; }

transcript=$(run_wine "$drive" run --timeout 90 --engine "$win_engine" Install Start \
  IsEngineRunning "Analyse Check Log" Stop Uninstall) || status=$?
echo "$transcript"
[ $status -eq 0 ] || { echo "FAIL: vpedrive run gave $status"; exit 1; }
grep -qixF "harness: $harness" <<<"$transcript" ||
  { echo "FAIL: vpedrive run did not choose $harness"; exit 1; }
for box in "Init returned 0" "Install returned 0" "Engine start = 0" "IsEngineRunning = TRUE" \
  "No endpoints checked." "Engine stop = 0" "Uninstall returned 0"; do
  grep -qF "box \"Internal Error\": $box" <<<"$transcript" || { echo "missing box: $box"; status=1; }
done

# An x64 engine is judged by the x64 helper of its ABI, with every check at the highest level.
# (The x86 helpers' verdicts on x86 engines are the validate tests' own.)
if [[ $abi == *-x64 ]]; then
  helper=$(winepath -w "$release/$folder/vpecheck.exe")
  validated=0
  report=$(run_wine "$drive" validate --strictness 10 --strict --seed 1 --engine "$win_engine") ||
    validated=$?
  echo "$report"
  [ $validated -eq 0 ] || { echo "FAIL: vpedrive validate gave $validated"; exit 1; }
  grep -qiF "helper:     $helper (x64, " <<<"$report" ||
    { echo "FAIL: validate did not judge it in $helper"; status=1; }
  grep -qF "11 checks: 11 passed" <<<"$report" || { echo "FAIL: not 11 of 11 passed"; status=1; }
fi
exit $status
