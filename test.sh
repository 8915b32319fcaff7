#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through Wine. Exit status: the tests',
# or 75 when what they need cannot be installed (scripts/install.sh says why).
#   ./test.sh [--as-qemu] [ctest arguments...]
# --as-qemu runs the suite as a machine of the qemu kind: on a machine that runs i386 code
# natively, qemu-i386 is registered for every i386 program for the run and unregistered at its
# end (also on a failure or Ctrl+C).
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

as_qemu=
if [ "${1:-}" = --as-qemu ]; then
  as_qemu=1
  shift
fi

vpe_install_packages test
vpe_on_exit 'vpe_stop_wineserver; vpe_stop_wineserver64; vpe_stop_x; vpe_end_qemu_kind'
[ -z "$as_qemu" ] || vpe_begin_qemu_kind
vpe_log "machine: $(vpe_machine_kind); wineserver: $(vpe_wineserver_kind)"
vpe_make_prefix
vpe_make_prefix64
vpe_build Release

vpe_start_x
vpe_start_wineserver
vpe_start_wineserver64

cd "$VPE_BUILD"
status=0
ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
exit $status
