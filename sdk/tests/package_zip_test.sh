#!/usr/bin/env bash
# Makes the ZIP with cpack and checks it: exactly the expected files, and every program in it
# carries the project's version resource (read back under Wine with GetFileVersionInfoW).
# Usage: package_zip_test.sh BUILD_DIR WORK_DIR EXPECTED_LIST PACKAGE_NAME VERSION PROBE_EXE
set -eu
build=$1 work=$2 expected=$3 name=$4 version=$5 probe=$6
rm -rf "$work"
mkdir -p "$work/out" "$work/unpacked"
(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.txt" 2>&1 ||
  { cat "$work/cpack.txt"; exit 1; }
zip=$work/out/$name.zip
[ -f "$zip" ] || { echo "FAIL: no $name.zip"; ls "$work/out"; exit 1; }

status=0
cmake -E tar tf "$zip" | grep -v '/$' | sort >"$work/listed.txt"
grep -v '^#' "$expected" | sed "s|^|$name/|" | sort >"$work/expected.txt"
if ! diff -u "$work/expected.txt" "$work/listed.txt"; then
  echo "FAIL: the ZIP's files differ from $expected (- expected, + in the ZIP)"
  status=1
fi

(cd "$work/unpacked" && cmake -E tar xf "$zip")
for program in "$work/unpacked/$name"/bin/*.exe "$work/unpacked/$name"/bin/*.dll; do
  file=$(basename "$program")
  out=$work/probe.txt
  wine "$probe" "$(winepath -w "$program")" >"$out" 2>&1 </dev/null || true
  got=$(tr -d '\r' <"$out")
  want="$version.0|$version|${name%%-*}|$file"
  if [ "$got" != "$want" ]; then
    echo "FAIL: $file: version resource \"$got\", expected \"$want\""
    status=1
  fi
done
exit $status
