#!/usr/bin/env bash
# The harness of one C++ ABI and machine type with an engine library, through vpedrive run: the
# engine binds (the harness starts, and Install, Start, IsEngineRunning, Stop, Uninstall answer),
# is refused as the wrong type ("engineDLL.Init returned 1", exit code 1), or, built for another
# machine type, refused by the system's loader ("engineDLL.Init returned 20", exit code 1), without
# a crash.
# Usage: abi_binding_test.sh VPEDRIVE HARNESS ENGINE bound|refused|foreign-machine WORK_DIR
#        (Wine prefix and DISPLAY from the caller)
set -eu
. "$(dirname "$0")/../scripts/tests/wine_test_lib.sh"
drive=$1 harness=$2 engine=$3 expect=$4 work=$5
mkdir -p "$work"
for file in "$drive" "$harness" "$engine"; do
  [ -f "$file" ] || fail "no $file"
done

# A bound engine goes through a whole cycle (texts come back by value from Analyse Check Log).
commands=(IsEngineRunning)
[ "$expect" = bound ] && commands=(Install Start IsEngineRunning "Analyse Check Log" Stop Uninstall)
status=0
transcript=$(run_wine "$drive" run --timeout 90 --harness "$(winepath -w "$harness")" \
  --engine "$(winepath -w "$engine")" "${commands[@]}") || status=$?
echo "$transcript"
echo "vpedrive status: $status"

case $expect in
bound)
  [ $status -eq 0 ] || fail "vpedrive run gave $status, expected 0"
  # The harness reports Init only when it fails; a bound engine answers the command.
  ! grep -qF 'engineDLL.Init returned' <<<"$transcript" || fail "the harness did not bind the engine"
  for box in "Install returned 0" "Engine start = 0" "IsEngineRunning = TRUE" "Engine stop = 0" \
    "Uninstall returned 0"; do
    grep -qF "box \"Internal Error\": $box" <<<"$transcript" || fail "missing box: $box"
  done
  grep -A1 -F '> Analyse Check Log' <<<"$transcript" | grep -qF 'box "Internal Error": ' ||
    fail "Analyse Check Log showed no text"
  ;;
refused | foreign-machine)
  code=1
  [ "$expect" = refused ] || code=20
  [ $status -eq 1 ] || fail "vpedrive run gave $status, expected the harness's exit code 1"
  grep -qxF "  box \"Internal Error\": engineDLL.Init returned $code" <<<"$transcript" ||
    fail "the harness did not refuse the engine with code $code"
  ! grep -qiE 'crash|exception 0x' <<<"$transcript" || fail "the harness crashed"
  ;;
*) fail "expected bound, refused or foreign-machine, not $expect" ;;
esac
echo "ok: $expect"
