# Shared set-up for test.sh and run.sh: Debian packages, the private Wine prefix, the build.
# Sourced, not run. Everything lives under build/, never in the user's ~/.wine.

VPE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VPE_BUILD=${VPE_BUILD:-$VPE_ROOT/build}
# The kernel's binfmt_misc folder, where qemu-i386 is registered on machines that need it.
VPE_BINFMT=${VPE_BINFMT:-/proc/sys/fs/binfmt_misc}

# Pinned so the ANSI code page is 1252 and messages are English, whatever the caller's locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEPREFIX=$VPE_BUILD/wineprefix
export WINEARCH=win32
# The 64-bit prefix of the x64 suites (WINEARCH=win64), where 32-bit programs run as well.
VPE_WINEPREFIX64=$VPE_BUILD/wineprefix64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: they would ask questions nobody is there to answer.
export WINEDLLOVERRIDES="mscoree,mshtml="

vpe_log() { printf '== %s\n' "$*" >&2; }

. "$VPE_ROOT/scripts/install.sh"

# Installs what is missing for `test` (the default: build and every test), `run` (build, the
# harness and its screenshot) or `build` (build and package): only what those commands use, and
# nothing at all when it is all there. For `test` and `build` it also exports VPE_WINE_DEV_ROOT
# and VPE_WINE_DEV_ROOT_AMD64 (Wine's development files for the x86 and x64 MSVC-ABI builds).
# Returns VPE_STATUS_INSTALL_FAILED, after one message that says why, when something cannot be
# installed.
vpe_install_packages() {
  local purpose=${1:-test}
  # The cross compiler, 32-bit Wine with its own fonts, the private X server, CMake,
  # GoogleTest's sources and CLI11 (vpedrive's command line; every build makes vpedrive, run.sh's
  # tour uses it). wine64 follows once the machine's kind is known (vpe_install_wine64).
  local packages=(g++-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 fonts-wine xvfb xauth
    cmake googletest libcli11-dev)
  case $purpose in
  test)
    # The MSVC-ABI builds (clang-cl, lld-link, llvm-rc, llvm-mt, llvm-lib, llvm-dlltool,
    # llvm-objdump), the format check, and the x64 GCC-ABI build's compiler.
    packages+=(clang lld llvm clang-format g++-mingw-w64-x86-64-posix)
    ;;
  build) packages+=(clang lld llvm g++-mingw-w64-x86-64-posix) ;;
  run) packages+=(imagemagick) ;; # the screenshot of run.sh
  esac
  vpe_install_missing "${packages[@]}" || return
  vpe_enable_i386 || return
  vpe_install_wine64 "$purpose" || return
  if [ "$purpose" != run ]; then
    vpe_wine_dev_files || return
  fi
}

# Says in a few words how this machine runs i386 programs: natively, or through qemu-i386
# (binfmt_misc hands them to it, see vpe_enable_i386).
vpe_machine_kind() {
  if vpe_runs_i386_under_qemu; then
    echo "i386 code runs under qemu-i386 ($(qemu-i386-static --version 2>/dev/null | head -n1))"
  else
    echo "i386 code runs natively"
  fi
}

# True when i386 programs run under qemu-i386 (binfmt_misc hands them to it).
vpe_runs_i386_under_qemu() {
  grep -qsx enabled "$VPE_BINFMT/qemu-i386"
}

# Says which wineserver Wine starts: Debian's `wineserver` wrapper runs wineserver64 when wine64
# is installed, else the i386 wineserver32, which on a qemu machine is emulated itself.
vpe_wineserver_kind() {
  if [ -x /usr/lib/wine/wineserver64 ]; then
    echo "the native wineserver64 (package wine64)"
  elif vpe_runs_i386_under_qemu; then
    echo "the i386 wineserver32 under qemu-i386 (wine64 is missing)"
  else
    echo "the i386 wineserver32 (wine64 is missing)"
  fi
}

# Installs wine64 for its native wineserver and the x64 side of Wine, for `test`, `run` or
# `build` ($1, default test). The x64 suites run under it, so for `test` a wine64 that cannot be
# installed ends the set-up (VPE_STATUS_INSTALL_FAILED). So it does on every purpose under
# qemu-i386: an emulated wineserver32 cannot serve a debugger, and every program started under one
# dies at start (server_init_process_done asserts). Otherwise (run and build on a machine that
# runs i386 code natively) the set-up goes on with wineserver32.
vpe_install_wine64() {
  local purpose=${1:-test} log status=0
  vpe_installed_version wine64 >/dev/null && return 0
  if vpe_runs_i386_under_qemu; then
    vpe_log "under qemu-i386 Wine needs the native wineserver64 of package wine64"
    vpe_install_missing wine64
    return
  fi
  if [ "$purpose" = test ]; then
    vpe_log "the x64 suites run under wine64"
    vpe_install_missing wine64
    return
  fi
  log=$(mktemp)
  vpe_install_missing wine64 2>"$log" || status=$?
  if [ "$status" -eq 0 ]; then
    cat "$log" >&2
  else
    vpe_log "wine64 cannot be installed; i386 code runs natively here, so wineserver32 serves:"
    grep -e '^E:' -e 'Depends:' -e 'version skew' "$log" >&2 || true
  fi
  rm -f "$log"
  return 0
}

# 32-bit Wine needs a kernel that runs i386 programs. Some virtual machines run 64-bit user code
# only (execve of any i386 program fails with ENOEXEC, "Exec format error"); there the kernel is
# told to hand i386 programs to qemu's user-mode emulator.
vpe_enable_i386() {
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
  vpe_log "this kernel runs no i386 programs: Wine's 32-bit side runs under qemu-i386"
  vpe_register_qemu_i386 || return
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || { vpe_log "i386 programs still do not run"; return 1; }
}

# Registers qemu-i386 with binfmt_misc for every i386 program, installing qemu first when needed.
# qemu 7.2 (bookworm) cannot run Wine (it ignores MAP_FIXED_NOREPLACE, and Wine's start-up never
# ends); qemu 10 from bookworm-backports can. binfmt_misc's entries are tried before the kernel's
# own ELF loader, so on a machine that runs i386 code natively this makes it the qemu kind.
vpe_register_qemu_i386() {
  if ! qemu-i386-static --version 2>/dev/null | grep -q 'version \(9\|[1-9][0-9]\)'; then
    vpe_install_qemu || return
  fi
  [ -e "$VPE_BINFMT/register" ] ||
    vpe_as_root mount -t binfmt_misc binfmt_misc "$VPE_BINFMT" || return
  vpe_unregister_qemu_i386
  # ELF, 32-bit, little endian, executable or shared object, machine 3 (i386). No flags: the
  # kernel opens the emulator at each start, so an upgraded qemu takes effect at once.
  printf '%s' ':qemu-i386:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:' |
    vpe_as_root tee "$VPE_BINFMT/register" >/dev/null
}

vpe_unregister_qemu_i386() {
  [ ! -e "$VPE_BINFMT/qemu-i386" ] || echo -1 | vpe_as_root tee "$VPE_BINFMT/qemu-i386" >/dev/null
}

# Makes a machine that runs i386 code natively run it under qemu-i386 until
# vpe_end_qemu_kind, so the suite can be run as the other kind of machine. On a machine of the
# qemu kind already, changes nothing. Sets VPE_QEMU_KIND_REGISTERED when it registered qemu.
vpe_begin_qemu_kind() {
  if vpe_runs_i386_under_qemu; then
    vpe_log "this machine runs i386 code under qemu-i386 already"
    return 0
  fi
  vpe_log "running as the qemu kind: qemu-i386 registered for every i386 program until the end"
  VPE_QEMU_KIND_REGISTERED=1
  vpe_register_qemu_i386 || return
  vpe_runs_i386_under_qemu || { vpe_log "qemu-i386 could not be registered"; return 1; }
}

# Runs `commands` when the script ends: normally, on an error, on Ctrl+C (status 130) or on
# SIGTERM (143).
vpe_on_exit() {
  trap "$1" EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Gives i386 programs back to the kernel when vpe_begin_qemu_kind registered qemu for them.
vpe_end_qemu_kind() {
  [ -n "${VPE_QEMU_KIND_REGISTERED:-}" ] || return 0
  vpe_unregister_qemu_i386
  VPE_QEMU_KIND_REGISTERED=
  vpe_log "qemu-i386 unregistered: i386 code runs natively again"
}

# The settings every prefix carries, one per line: key|value name|type|data.
VPE_PREFIX_SETTINGS=(
  # A crashing program must end, not wait for someone to close Wine's crash dialog.
  'HKCU\Software\Wine\WineDbg|ShowCrashDialog|REG_DWORD|0'
  # Without a window manager a managed window that hides waits about 2 s for the X server:
  # every confirmed message box would cost that much.
  'HKCU\Software\Wine\X11 Driver|Managed|REG_SZ|N'
)

# Wine's own fonts (package fonts-wine) every prefix gets in drive_c/windows/Fonts. This Wine
# never reads VPE_WINE_FONTS itself; without Marlett the caption buttons show as the letters
# "0 1 r", and Tahoma is the face of Wine's dialogs.
VPE_WINE_FONTS=/usr/share/wine/fonts
VPE_PREFIX_FONTS=(marlett.ttf tahoma.ttf tahomabd.ttf)

# What the prefix was made from: the architecture, the Wine version, the settings and the fonts
# above (names and contents). A prefix made from anything else is remade, so a changed setting
# needs no hand-kept marker.
vpe_prefix_fingerprint() {
  {
    echo "$WINEARCH"
    wine --version 2>/dev/null
    printf '%s\n' "${VPE_PREFIX_SETTINGS[@]}"
    (cd "$VPE_WINE_FONTS" && sha256sum "${VPE_PREFIX_FONTS[@]}") 2>&1
  } | sha256sum | cut -d' ' -f1
}

vpe_make_prefix() {
  local stamp=$WINEPREFIX/.vpe-settings fingerprint setting key name type data
  fingerprint=$(vpe_prefix_fingerprint)
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$fingerprint" ] && return 0
  if [ -e "$WINEPREFIX" ]; then
    vpe_log "remaking the Wine prefix $WINEPREFIX (its Wine, settings or fonts changed)"
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  else
    vpe_log "creating the Wine prefix $WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  (cd "$VPE_WINE_FONTS" && cp "${VPE_PREFIX_FONTS[@]}" "$WINEPREFIX/drive_c/windows/Fonts/") || {
    vpe_log "cannot copy Wine's fonts from $VPE_WINE_FONTS (package fonts-wine)"
    return 1
  }
  for setting in "${VPE_PREFIX_SETTINGS[@]}"; do
    IFS='|' read -r key name type data <<<"$setting"
    wine reg add "$key" /v "$name" /t "$type" /d "$data" /f >/dev/null 2>&1
  done
  wineserver -w
  echo "$fingerprint" >"$stamp"
}

# Makes (or remakes) the 64-bit prefix VPE_WINEPREFIX64 as vpe_make_prefix makes the 32-bit one.
vpe_make_prefix64() {
  (
    export WINEPREFIX=$VPE_WINEPREFIX64 WINEARCH=win64
    vpe_make_prefix
  )
}

# Configures with the given build type every time (a build tree made as Debug becomes Release when
# Release is asked for), then builds.
vpe_build() {
  local type=${1:-Release}
  cmake -S "$VPE_ROOT" -B "$VPE_BUILD" -DCMAKE_BUILD_TYPE="$type" \
    -DCMAKE_TOOLCHAIN_FILE="$VPE_ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$VPE_BUILD" -j "$(nproc)"
}

# Starts a private X server and exports DISPLAY; vpe_stop_x ends it. Xvfb picks a free display
# number itself (-displayfd), so runs in parallel never share one.
vpe_start_x() {
  local numberFile i
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  VPE_XVFB_PID=$!
  for i in $(seq 100); do
    [ -s "$numberFile" ] && break
    sleep 0.1
  done
  if ! [ -s "$numberFile" ] || ! kill -0 "$VPE_XVFB_PID" 2>/dev/null; then
    rm -f "$numberFile"
    vpe_log "could not start Xvfb"
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$numberFile")"
  rm -f "$numberFile"
}

vpe_stop_x() {
  [ -n "${VPE_XVFB_PID:-}" ] && kill "$VPE_XVFB_PID" 2>/dev/null
  VPE_XVFB_PID=
}

# Wine's background services must not inherit ctest's output pipes, or ctest waits for them.
# A server still alive from an earlier run in this prefix makes -p fail; that server is used.
vpe_start_wineserver() {
  wineserver -p >/dev/null 2>&1 </dev/null || true
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}

vpe_stop_wineserver() {
  wineserver -k >/dev/null 2>&1 || true
}

# The same for the 64-bit prefix.
vpe_start_wineserver64() {
  (
    export WINEPREFIX=$VPE_WINEPREFIX64 WINEARCH=win64
    vpe_start_wineserver
  )
}

vpe_stop_wineserver64() {
  (
    export WINEPREFIX=$VPE_WINEPREFIX64 WINEARCH=win64
    vpe_stop_wineserver
  )
}
