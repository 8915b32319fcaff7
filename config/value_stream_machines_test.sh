#!/usr/bin/env bash
# The value stream between machine types and ABIs (value_stream_probe.exe of each build): every
# build writes the same fixed values as the same bytes; the first x86 and the first x64 build
# write them with a folder tree as file objects, and every build of the other machine type reads
# that stream, finds the same values and restores the same tree.
# Usage: value_stream_machines_test.sh WORK_DIR X86_PROBE... -- X64_PROBE...
#        (a 64-bit Wine prefix from the caller, where programs of both machine types run)
set -eu
. "$(dirname "$0")/../scripts/tests/wine_test_lib.sh"
work=$1
shift
split_machines "$@"
rm -rf "$work"
mkdir -p "$work/tree/sub folder"

win() { winepath -w "$1" 2>/dev/null; }

# The tree: text, every byte value, an empty file, a file of several transfer chunks, a name
# outside the ANSI code page, a subfolder.
printf 'line one\r\nline two\n' >"$work/tree/text.txt"
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$work/tree/bytes.bin"
: >"$work/tree/empty"
head -c 250000 /dev/urandom >"$work/tree/sub folder/large.bin"
printf 'gr\xc3\xbc\xc3\x9fe\n' >"$work/tree/sub folder/Gr$(printf '\xc3\xbc\xc3\x9f')e-$(printf '\xce\x94').txt"

all=("${x86[@]}" "${x64[@]}")
for i in "${!all[@]}"; do
  [ -f "${all[$i]}" ] || fail "no ${all[$i]}"
  run_wine "${all[$i]}" write "$(win "$work/values-$i.vps")" || fail "${all[$i]} could not write"
  cmp "$work/values-0.vps" "$work/values-$i.vps" ||
    fail "${all[$i]} wrote other bytes than ${all[0]}"
  echo "ok: ${all[$i]} wrote $(wc -c <"$work/values-$i.vps") bytes, the same as ${all[0]}"
done

run_wine "${x86[0]}" write "$(win "$work/tree-x86.vps")" "$(win "$work/tree")" ||
  fail "${x86[0]} could not write the tree"
run_wine "${x64[0]}" write "$(win "$work/tree-x64.vps")" "$(win "$work/tree")" ||
  fail "${x64[0]} could not write the tree"
# read PROBE STREAM: the values equal and the tree restored as it was.
read_stream() {
  local restored=$work/restored-$2-$(basename "$(dirname "$(dirname "$1")")")
  mkdir -p "$restored"
  run_wine "$1" read "$(win "$work/$2")" "$(win "$restored")" || fail "$1 did not read $2 back"
  diff -r "$work/tree" "$restored" || fail "$1 restored another tree from $2"
  echo "ok: $1 read $2"
}
for reader in "${x64[@]}"; do
  read_stream "$reader" tree-x86.vps
done
for reader in "${x86[@]}"; do
  read_stream "$reader" tree-x64.vps
done
