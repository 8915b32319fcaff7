#!/usr/bin/env bash
# A 64-bit engine project must be refused at configure time, with a message that says what is
# needed instead. Usage: refuse_64bit_test.sh PREFIX WORK_DIR
set -eu
prefix=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cp -r "$prefix/sdk/template" "$work/src"
out=$work/configure.txt
if cmake -S "$work/src" -B "$work/build" -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_SYSTEM_PROCESSOR=x86_64 -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix \
  -DCMAKE_PREFIX_PATH="$prefix/sdk" >"$out" 2>&1; then
  cat "$out"
  echo "FAIL: the 64-bit configure was accepted"
  exit 1
fi
status=0
for words in "this project builds 64-bit code" "build the engine as a 32-bit DLL with" \
  "MinGW-w64 for i686"; do
  # cmake wraps long messages: compare with the line breaks and indentation folded away.
  tr -s ' \n' '  ' <"$out" | grep -qF "$words" || { echo "message lacks: $words"; status=1; }
done
[ $status -eq 0 ] || cat "$out"
exit $status
