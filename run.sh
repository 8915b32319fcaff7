#!/usr/bin/env bash
# Installs what is missing, builds, and starts the harness with the reference engine.
# With a display (DISPLAY set) the harness opens there; without one it runs on a private X
# server inside Wine's virtual desktop and a screenshot is saved to build/screenshot.png.
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

vpe_install_packages
vpe_make_prefix
vpe_build Release

# The developer message box on, so every command's answer is shown.
for value in Debug ShowInternalMessageBox; do
  wine reg add 'HKCU\Software\Corvinex\DeveloperSettings' /v "$value" /t REG_DWORD /d 1 /f >/dev/null 2>&1
done

cd "$VPE_BUILD/bin"
if [ -n "${DISPLAY:-}" ] && [ -z "${VPE_HEADLESS:-}" ]; then
  vpe_log "starting vpetest.exe on $DISPLAY"
  exec wine vpetest.exe
fi

vpe_start_x
trap 'vpe_stop_wineserver; vpe_stop_x' EXIT
vpe_log "no display: starting vpetest.exe on a private X server ($DISPLAY)"
wine explorer /desktop=vpe,1000x700 vpetest.exe >/dev/null 2>&1 &
sleep 8
import -window root "$VPE_BUILD/screenshot.png" && vpe_log "screenshot: build/screenshot.png"
wineserver -k >/dev/null 2>&1 || true
