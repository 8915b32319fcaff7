#!/usr/bin/env bash
# The helper's sources build where there is no C++ standard library: no C++ header (only the C
# runtime's and the system's .h headers) and no std:: name outside the tests. Code inside
# `#if defined(__GLIBCXX__)` ... `#endif` builds only where the GCC ABI's C++ runtime is present
# and may use it. Exit 1 names the lines that break the rule.
set -euo pipefail
folder=${1:-$(dirname "$0")}
status=0
# The file's lines as "NUMBER:TEXT", without those of the blocks only the GCC ABI's runtime builds.
outside_gcc_runtime_blocks() {
  awk '
    depth > 0 && /^[[:space:]]*#[[:space:]]*if/ { depth++; next }
    depth > 0 && /^[[:space:]]*#[[:space:]]*endif/ { depth--; next }
    depth > 0 { next }
    /^[[:space:]]*#[[:space:]]*if[[:space:]]+defined\(__GLIBCXX__\)[[:space:]]*$/ { depth = 1; next }
    { print NR ":" $0 }' "$1"
}
for file in "$folder"/*.h "$folder"/*.cpp; do
    case $file in *_test.cpp) continue ;; esac
    lines=$(outside_gcc_runtime_blocks "$file")
    if grep -E '^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>.]+>' <<<"$lines"; then
        echo "$file: includes a C++ standard header" >&2
        status=1
    fi
    if grep -E '\bstd::' <<<"$lines"; then
        echo "$file: uses the C++ standard library" >&2
        status=1
    fi
done
exit $status
