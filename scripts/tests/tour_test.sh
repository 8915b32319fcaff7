#!/usr/bin/env bash
# run.sh's verdict on its tour (scripts/tour.sh) for transcripts of good and failed tours.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/tour.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() { # name status transcript expected-substring (empty: no failure line)
  local said
  printf '%b' "$3" >"$work/transcript"
  said=$(vpe_tour_failure "$2" "$work/transcript")
  if [ -z "$4" ] && [ -n "$said" ] || [ -n "$4" ] && [[ $said != *"$4"* ]]; then
    echo "FAIL [$1]: said \"$said\""
    failures=$((failures + 1))
  fi
}
good='harness: vpetest.exe\n> startup\n  title: VPETEST\n> Install (32788)\n  box "Internal Error": Install returned 0\n> Exit (32774)\nend: exited, exit code 0\n'
expect "a whole tour" 0 "$good" ""
expect "a harness that died at start" 10 \
  'harness: vpetest.exe\n> startup\n  (process ended)\n  title: \nend: ended at start, exit code 0; never seen: its main window\n' \
  "ended before its window appeared (vpedrive status 10; end: ended at start, exit code 0"
expect "vpe.dll that is not a library" 1 \
  '> startup\n  box "Internal Error": engineDLL.Init returned 20\n  (process ended)\nend: exited, exit code 1\n' \
  "could not bind the engine (engineDLL.Init returned 20;"
expect "another status 1" 1 '> startup\n  title: VPETEST\nend: exited, exit code 1\n' \
  "vpedrive ended with status 1 (end: exited, exit code 1"
expect "a harness that cannot be started" 5 '' "could not be started"
expect "a vpe.dll that is no library at all" 2 '' "vpedrive refused the run"
expect "no box at all" 0 '> startup\n  title: VPETEST\n> Exit (32774)\nend: exited, exit code 0\n' \
  "showed no box"
expect "an end other than Exit" 0 \
  '> Install (32788)\n  box "Internal Error": Install returned 0\nend: exited, exit code 0 after a crash\n' \
  "ended other than by Exit"
echo "$failures failed expectations"
[ "$failures" -eq 0 ]
