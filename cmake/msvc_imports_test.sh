#!/usr/bin/env bash
# The programs and libraries of the MSVC-ABI build import only DLLs every Windows has: no Visual
# C++ redistributable (msvcp*, vcruntime*, ucrtbase, the api-ms-win-* sets).
# Usage: msvc_imports_test.sh MODULE...
set -eu
allowed='^(kernel32|user32|msvcrt|advapi32|shell32|ole32|ntdll|iphlpapi|gdi32|comctl32|ws2_32|psapi|version|shlwapi)\.dll$'
objdump=$(command -v llvm-objdump-14 || command -v llvm-objdump)
status=0
for module in "$@"; do
  [ -f "$module" ] || { echo "FAIL: no $module"; status=1; continue; }
  imports=$("$objdump" -p "$module" | sed -n 's/^ *DLL Name: *//p' | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$imports" ] || { echo "FAIL: $module: no import table read"; status=1; continue; }
  echo "$module: $(echo $imports)"
  while read -r dll; do
    grep -qE "$allowed" <<<"$dll" || { echo "FAIL: $module imports $dll"; status=1; }
  done <<<"$imports"
done
exit $status
