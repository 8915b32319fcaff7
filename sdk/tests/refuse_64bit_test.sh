#!/usr/bin/env bash
# What cannot work is refused at configure time, with a message that says what is needed instead:
# a 64-bit engine project (MinGW-w64 for x86_64), and a project that does not target Windows (the
# machine's own compiler). Usage: refuse_64bit_test.sh PREFIX WORK_DIR
set -eu
prefix=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cp -r "$prefix/sdk/template" "$work/src"

status=0
# refused NAME REASON CMAKE_ARGS...: configuring fails and the message names the reason and the
# compilers that work.
refused() {
  local name=$1 reason=$2 out=$work/$1.txt words
  shift 2
  if cmake -S "$work/src" -B "$work/build-$name" -DCMAKE_PREFIX_PATH="$prefix/sdk" "$@" >"$out" 2>&1; then
    cat "$out"
    echo "FAIL: $name: the configure was accepted"
    status=1
    return
  fi
  for words in "$reason" "build the engine as a 32-bit DLL with" "cmake -A Win32" \
    "sdk/clang-cl/clang-cl-i686.cmake" "MinGW-w64 for i686"; do
    # cmake wraps long messages: compare with the line breaks and indentation folded away.
    tr -s ' \n' '  ' <"$out" | grep -qF "$words" || { echo "$name: message lacks: $words"; status=1; }
  done
}
refused 64bit "this project builds 64-bit code" -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_SYSTEM_PROCESSOR=x86_64 -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix
refused host "this project does not target Windows" -DCMAKE_CXX_COMPILER=g++
[ $status -eq 0 ] || cat "$work"/*.txt
exit $status
