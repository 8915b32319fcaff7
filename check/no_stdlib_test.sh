#!/usr/bin/env bash
# The helper's sources build where there is no C++ standard library: no C++ header (only the C
# runtime's and the system's .h headers) and no std:: name outside the tests. Exit 1 names the
# lines that break it.
set -euo pipefail
folder=${1:-$(dirname "$0")}
status=0
for file in "$folder"/*.h "$folder"/*.cpp; do
    case $file in *_test.cpp) continue ;; esac
    if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>.]+>' "$file"; then
        echo "$file: includes a C++ standard header" >&2
        status=1
    fi
    if grep -nE '\bstd::' "$file"; then
        echo "$file: uses the C++ standard library" >&2
        status=1
    fi
done
exit $status
