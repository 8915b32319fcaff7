#!/usr/bin/env bash
# Checks the ZIP unpack_zip.sh made: exactly the expected files; every program and library of
# bin/ and bin-mingw/ carries the project's version resource (read back under Wine with
# GetFileVersionInfoW; llvm-rc writes bin/'s, windres bin-mingw/'s); bin/'s harness, check helper
# and engine are of the MSVC ABI and bin-mingw/'s of the GCC ABI, told by the type names they
# carry.
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

for program in "$root"/bin/*.exe "$root"/bin/*.dll "$root"/bin-mingw/*.exe "$root"/bin-mingw/*.dll; do
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
for entry in bin/vpetest.exe:msvc bin/vpecheck.exe:msvc bin/vpe.dll:msvc \
  bin-mingw/vpetest.exe:gcc bin-mingw/vpecheck.exe:gcc bin-mingw/vpe.dll:gcc; do
  file=${entry%%:*} want=${entry##*:}
  got=$(abi_of "$root/$file")
  [ "$got" = "$want" ] || { echo "FAIL: $file is of the $got ABI, expected $want"; status=1; }
done
exit $status
