#!/usr/bin/env bash
# Installs what is missing, builds, and shows the harness with the reference engine.
#  - With a display (DISPLAY set): starts vpetest.exe there, the developer message box on.
#  - Without one (a fresh machine over ssh): runs a tour of every menu command through vpedrive
#    on a private X server inside Wine's virtual desktop, prints the transcript, saves a
#    screenshot of the harness with a developer message box open to build/screenshot.png, and
#    exits 0. When the tour fails (the harness did not start, showed no box, or ended other than
#    by Exit) it says why in one line and exits with vpedrive's status, or 1 (75 when the set-up
#    cannot install what it needs).
# The harness runs in a Wine prefix of its own (build/wineprefix-run), apart from the tests'.
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"
. "$VPE_ROOT/scripts/tour.sh"

vpe_install_packages run
vpe_build Release >&2

export WINEPREFIX=$VPE_BUILD/wineprefix-run
vpe_make_prefix

cd "$VPE_BUILD/bin"
if [ -n "${DISPLAY:-}" ] && [ -z "${VPE_HEADLESS:-}" ]; then
  wine vpedrive.exe settings --debug on --message-box on
  vpe_log "starting vpetest.exe on $DISPLAY"
  exec wine vpetest.exe
fi

vpe_on_exit 'vpe_stop_wineserver; vpe_stop_x; rm -f "${transcript:-}"'
vpe_start_x
vpe_log "no display: a tour of every menu command on a private X server ($DISPLAY)"
tour=(Install IsInstalled Start IsEngineRunning "Activate Anonymity" SurfCheck
      "Update Test" UpdateStart IsUpdateRunning UpdateStop "Analyse Update Log"
      CheckStart IsCheckRunning CheckStop "Analyse Check Log" "Check Test"
      "Deactivate Anonymity" Stop Test Uninstall About)
status=0
transcript=$(mktemp)
wine vpedrive.exe run --timeout 60 "${tour[@]}" >"$transcript" || status=$?
cat "$transcript"
failure=$(vpe_tour_failure "$status" "$transcript")
if [ -n "$failure" ]; then
  vpe_log "the tour failed: $failure"
  [ "$status" -ne 0 ] || status=1
  exit "$status"
fi

# The caption buttons are drawn with Marlett: the prefix must hold it, and Wine must list it.
fonts=$(WINEDEBUG=+font wine rundll32 gdi32.dll,GdiFlush 2>&1 </dev/null || true)
if [ -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ] && grep -q 'Family: L"Marlett"' <<<"$fonts"; then
  vpe_log "Wine finds Marlett in $WINEPREFIX"
else
  vpe_log "Wine does not find Marlett in $WINEPREFIX: the caption buttons will show letters"
fi

# The screenshot: the harness in Wine's virtual desktop, which draws frames and titles (there is
# no window manager), after its first status ticks, with a developer message box open over it:
# the box is what a user of the harness reads.
rm -f "$VPE_BUILD/screenshot.png"
wine vpedrive.exe settings --debug on --message-box on >/dev/null
wine explorer /desktop=vpe,1000x700 vpetest.exe >/dev/null 2>&1 &
# FindWindow sees only the windows of its own desktop: the helper joins the virtual desktop. The
# desktop's explorer lives as long as the harness does, so the helper runs in the background.
wine explorer /desktop=vpe,1000x700 post_command.exe "Analyse Check Log" 60 >/dev/null 2>&1 &
sleep 20
import -window root -crop 1000x700+0+0 "$VPE_BUILD/screenshot.png" 2>/dev/null &&
  vpe_log "screenshot: build/screenshot.png"
wineserver -k >/dev/null 2>&1 || true
exit $status
