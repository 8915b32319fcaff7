#!/usr/bin/env bash
# Checks the ZIP unpack_zip.sh made: exactly the expected files; every program and library of
# the harness folders carries the project's version resource (read back under Wine with
# GetFileVersionInfoW; llvm-rc writes bin/'s and bin-x64/'s, windres the -mingw folders'); bin/'s
# and bin-x64/'s modules are of the MSVC ABI, the -mingw folders' of the GCC ABI, told by the type
# names they carry, and bin/ and bin-mingw/ hold x86 modules, the -x64 folders x64 ones (the PE
# header's machine field).
# Usage: package_zip_test.sh WORK_DIR EXPECTED_LIST PACKAGE_NAME VERSION PROBE_EXE
set -eu
work=$1 expected=$2 name=$3 version=$4 probe=$5
zip=$work/out/$name.zip
root=$work/unpacked/$name
[ -f "$zip" ] || { echo "FAIL: no $zip"; exit 1; }

status=0
cmake -E tar tf "$zip" | grep -v '/$' | sort >"$work/listed.txt"
grep -v '^#' "$expected" | sed "s|^|$name/|" | sort >"$work/expected.txt"
if ! diff -u "$work/expected.txt" "$work/listed.txt"; then
  echo "FAIL: the ZIP's files differ from $expected (- expected, + in the ZIP)"
  status=1
fi

programs=()
for folder in bin bin-mingw bin-x64 bin-x64-mingw; do
  programs+=("$root/$folder"/*.exe "$root/$folder"/*.dll)
done
for program in "${programs[@]}"; do
  file=$(basename "$program")
  out=$work/probe.txt
  wine "$probe" "$(winepath -w "$program")" >"$out" 2>&1 </dev/null || true
  got=$(tr -d '\r' <"$out")
  want="$version.0|$version|${name%%-*}|$file"
  if [ "$got" != "$want" ]; then
    echo "FAIL: ${program#"$root"/}: version resource \"$got\", expected \"$want\""
    status=1
  fi
done

# MSVC type descriptors are named ".?AV<class>@<namespace>@@"; GCC's type names are Itanium
# mangled ("N8Corvinex...E"). The harness, the helper and the engine all carry Corvinex's classes.
abi_of() {
  local msvc=0 gcc=0
  grep -qaF '.?AV' "$1" && msvc=1
  grep -qaE 'N8Corvinex[0-9]+[A-Za-z_]+' "$1" && gcc=1
  case $msvc$gcc in 10) echo msvc ;; 01) echo gcc ;; *) echo "unclear (msvc $msvc, gcc $gcc)" ;; esac
}
# The machine field of the PE header (at the offset in 0x3C, after "PE\0\0"): 014c x86, 8664 x64.
machine_of() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  case $(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ') in
  014c) echo x86 ;; 8664) echo x64 ;; *) echo "another machine" ;;
  esac
}
for entry in bin/vpetest.exe:msvc:x86 bin/vpecheck.exe:msvc:x86 bin/vpe.dll:msvc:x86 \
  bin-mingw/vpetest.exe:gcc:x86 bin-mingw/vpecheck.exe:gcc:x86 bin-mingw/vpe.dll:gcc:x86 \
  bin-x64/vpetest.exe:msvc:x64 bin-x64/vpecheck.exe:msvc:x64 bin-x64/vpe.dll:msvc:x64 \
  bin-x64-mingw/vpetest.exe:gcc:x64 bin-x64-mingw/vpecheck.exe:gcc:x64 \
  bin-x64-mingw/vpe.dll:gcc:x64; do
  IFS=: read -r file abi machine <<<"$entry"
  got=$(abi_of "$root/$file")
  [ "$got" = "$abi" ] || { echo "FAIL: $file is of the $got ABI, expected $abi"; status=1; }
  got=$(machine_of "$root/$file")
  [ "$got" = "$machine" ] || { echo "FAIL: $file is built for $got, expected $machine"; status=1; }
done
exit $status
