#!/bin/sh
# Runs a Windows program under Wine for ctest, with its output going through a file. Processes
# that a test starts (and Wine's own helpers) inherit the test's output; were that ctest's pipe,
# one of them outliving the test would keep ctest waiting for the end of the pipe.
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit $status
