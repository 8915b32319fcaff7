#!/usr/bin/env bash
# What cannot work is refused at configure time, with a message that says what is needed instead:
# an engine project for ARM64 (clang-cl for aarch64-pc-windows-msvc) and one that does not target
# Windows (the machine's own compiler). What works is found, and the package names the harness
# folder: x86 and x64 with MinGW-w64 (bin-mingw, bin-x64-mingw) and with clang-cl (bin, bin-x64).
# Usage: refuse_targets_test.sh PREFIX WORK_DIR
set -eu
prefix=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cp -r "$prefix/sdk/template" "$work/src"

status=0
# configure NAME CMAKE_ARGS...: configures the template; the output is in $work/NAME.txt.
configure() {
  local name=$1
  shift
  cmake -S "$work/src" -B "$work/build-$name" -DCMAKE_PREFIX_PATH="$prefix/sdk" "$@" \
    >"$work/$name.txt" 2>&1
}
# says NAME WORDS: the output of NAME holds WORDS (cmake wraps long messages: compared with the
# line breaks and indentation folded away).
says() {
  tr -s ' \n' '  ' <"$work/$1.txt" | grep -qF "$2" || { echo "$1: the output lacks: $2"; status=1; }
}
# refused NAME REASON CMAKE_ARGS...: configuring fails and the message names the reason and the
# compilers that work.
refused() {
  local name=$1 reason=$2 words
  shift 2
  if configure "$name" "$@"; then
    echo "FAIL: $name: the configure was accepted"
    status=1
    return
  fi
  for words in "$reason" "build the engine as a DLL for x86 or x64 with" "cmake -A Win32 or -A x64" \
    "sdk/clang-cl/clang-cl-i686.cmake" "sdk/clang-cl/clang-cl-x86_64.cmake" \
    "MinGW-w64 for i686 or x86_64"; do
    says "$name" "$words"
  done
}
# accepted NAME FOLDER CMAKE_ARGS...: configuring succeeds and names the harness folder.
accepted() {
  local name=$1 folder=$2
  shift 2
  configure "$name" "$@" || { echo "FAIL: $name: the configure was refused"; status=1; return; }
  says "$name" "for $folder\\vpetest.exe of the release"
}
refused arm64 "this project builds for a machine type other than x86 and x64" \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=ARM64 -DCMAKE_CXX_COMPILER=clang-cl-14 \
  -DCMAKE_CXX_COMPILER_TARGET=aarch64-pc-windows-msvc -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY \
  -DCMAKE_AR="$(command -v llvm-lib-14 || command -v llvm-lib)"
refused host "this project does not target Windows" -DCMAKE_CXX_COMPILER=g++
accepted mingw-x86 bin-mingw -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=i686 \
  -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++-posix
accepted mingw-x64 bin-x64-mingw -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
  -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix
accepted clang-cl-x86 bin -DCMAKE_TOOLCHAIN_FILE="$prefix/sdk/clang-cl/clang-cl-i686.cmake"
accepted clang-cl-x64 bin-x64 -DCMAKE_TOOLCHAIN_FILE="$prefix/sdk/clang-cl/clang-cl-x86_64.cmake"
[ $status -eq 0 ] || cat "$work"/*.txt
exit $status
