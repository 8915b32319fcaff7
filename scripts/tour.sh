# Judges the tour run.sh makes of every menu command. Sourced by run.sh and its test.

# Prints one line that says why a tour failed, from vpedrive's status ($1) and its transcript
# (file $2); prints nothing when the harness started, showed boxes and ended by Exit with code 0.
vpe_tour_failure() {
  local status=$1 transcript=$2 end init
  end=$(grep '^end: ' "$transcript" | tail -n1)
  init=$(grep -o 'engineDLL.Init returned [0-9]*' "$transcript" | head -n1)
  case $status in
  0) ;;
  1) if [ -n "$init" ]; then
    echo "vpetest.exe could not bind the engine ($init; wine vpedrive.exe doctor --engine PATH says why)"
    return
  fi ;;&
  2) echo "vpedrive refused the run: bad input, or a vpe.dll that is no library (its message is above)"; return ;;
  5) echo "vpetest.exe could not be started (vpedrive status 5)"; return ;;
  10) echo "vpetest.exe ended before its window appeared (vpedrive status 10; ${end:-no end line})"; return ;;
  *) echo "vpedrive ended with status $status (${end:-no end line}; docs/vpedrive.md lists the statuses)"; return ;;
  esac
  if ! grep -q '^  box ' "$transcript"; then
    echo "the harness showed no box: the developer message box is off or the commands never ran"
  elif [ "$end" != "end: exited, exit code 0" ]; then
    echo "the harness ended other than by Exit (${end:-no end line})"
  fi
}
