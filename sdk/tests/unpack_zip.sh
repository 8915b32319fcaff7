#!/usr/bin/env bash
# Makes the ZIP with cpack, as ./package.sh does, and unpacks it as a user would: WORK_DIR/out
# holds the ZIP, WORK_DIR/unpacked its tree (the release the package and template checks use).
# Usage: unpack_zip.sh BUILD_DIR WORK_DIR PACKAGE_NAME
set -eu
build=$1 work=$2 name=$3
rm -rf "$work"
mkdir -p "$work/out" "$work/unpacked"
(cd "$work" && cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.txt" 2>&1 ||
  { cat "$work/cpack.txt"; exit 1; }
[ -f "$work/out/$name.zip" ] || { echo "FAIL: no $name.zip"; ls "$work/out"; exit 1; }
(cd "$work/unpacked" && cmake -E tar xf "$work/out/$name.zip")
