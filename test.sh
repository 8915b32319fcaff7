#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through Wine. Exit status: the tests',
# or 75 when what they need cannot be installed (scripts/install.sh says why).
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

vpe_install_packages test
vpe_log "machine: $(vpe_machine_kind)"
vpe_make_prefix
vpe_build Release

vpe_start_x
trap 'vpe_stop_wineserver; vpe_stop_x' EXIT
vpe_start_wineserver

cd "$VPE_BUILD"
status=0
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
exit $status
