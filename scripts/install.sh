# Debian packages for the project's scripts, fetched through apt without ever going around its
# checks. Sourced by scripts/env.sh. Every tool is looked up on PATH, never by its path, so a test
# can put fakes first; vpe_log comes from the sourcing script.

# The status the scripts end with when what they need cannot be installed (apt's own is 100).
VPE_STATUS_INSTALL_FAILED=75
# How often `apt-get update` is tried, and the pause in seconds between tries.
VPE_APT_UPDATE_TRIES=${VPE_APT_UPDATE_TRIES:-3}
VPE_APT_RETRY_PAUSE=${VPE_APT_RETRY_PAUSE:-20}
# How many simulated installs may look for version pins before the install gives up.
VPE_APT_PIN_ROUNDS=${VPE_APT_PIN_ROUNDS:-6}
# The indexes the last `apt-get update` could not fetch, "URL reason" each.
VPE_APT_FAILED_INDEXES=()

# Runs a tool as root: directly when already root, else through sudo. Leading NAME=value
# arguments go into the tool's environment. The tool is a name looked up on PATH (a path is
# refused); sudo is handed the full paths, because it resets PATH.
vpe_as_root() {
  local assignments=() tool path envpath
  while [[ ${1:-} == [A-Za-z_]*=* ]]; do
    assignments+=("$1")
    shift
  done
  tool=$1
  shift
  case $tool in */*)
    vpe_log "refusing to run $tool: tools are looked up on PATH"
    return 127
    ;;
  esac
  path=$(command -v "$tool") || {
    vpe_log "$tool is not on PATH"
    return 127
  }
  envpath=$(command -v env) || return 127
  if [ "$(id -u)" -eq 0 ]; then
    "$envpath" "${assignments[@]}" "$path" "$@"
  else
    sudo "$envpath" "${assignments[@]}" "$path" "$@"
  fi
}

# Prints the installed version of a package (name or name:arch); fails when it is not installed
# (also when only its configuration files are left).
vpe_installed_version() {
  local answer
  answer=$(dpkg-query -W -f='${Status}|${Version}' "$1" 2>/dev/null) || return 1
  [ "${answer%%|*}" = "install ok installed" ] || return 1
  printf '%s\n' "${answer#*|}"
}

# Prints, one a line, those of the given packages that are not installed.
vpe_missing_packages() {
  local package
  for package; do
    vpe_installed_version "$package" >/dev/null || printf '%s\n' "$package"
  done
}

# Ends a set-up that cannot go on with one message on the standard error: what failed ($1), the
# reasons (standard input, one a line), the indexes apt could not fetch, and what the user can do.
# Returns VPE_STATUS_INSTALL_FAILED.
vpe_install_failed() {
  {
    printf '== the set-up cannot go on: %s\n' "$1"
    sed 's/^/==   /'
    if [ ${#VPE_APT_FAILED_INDEXES[@]} -gt 0 ]; then
      printf '==   apt could not fetch this index (apt kept an older copy or none): %s\n' \
        "${VPE_APT_FAILED_INDEXES[@]}"
    fi
    printf '==   what to do: run the command again later (a mirror being synced is whole again\n'
    printf '==   within hours), or choose another Debian mirror in /etc/apt/sources.list or\n'
    printf '==   /etc/apt/sources.list.d and run it again. Exit status %s.\n' \
      "$VPE_STATUS_INSTALL_FAILED"
  } >&2
  return "$VPE_STATUS_INSTALL_FAILED"
}

# Brings apt's package lists up to date, trying VPE_APT_UPDATE_TRIES times, VPE_APT_RETRY_PAUSE
# seconds apart. Returns 0 when they are, and also when in the end only some indexes could not be
# fetched (VPE_APT_FAILED_INDEXES names them; the install goes on with the lists apt kept).
# Otherwise prints why and returns VPE_STATUS_INSTALL_FAILED.
vpe_apt_update() {
  local log try status
  log=$(mktemp)
  VPE_APT_FAILED_INDEXES=()
  for ((try = 1; ; try++)); do
    status=0
    vpe_as_root apt-get update >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      rm -f "$log"
      return 0
    fi
    [ "$try" -lt "$VPE_APT_UPDATE_TRIES" ] || break
    vpe_log "apt-get update failed (try $try of $VPE_APT_UPDATE_TRIES), again in $VPE_APT_RETRY_PAUSE s"
    sleep "$VPE_APT_RETRY_PAUSE"
  done
  if grep -q -e 'Some index files failed to download' -e 'Failed to fetch' "$log"; then
    mapfile -t VPE_APT_FAILED_INDEXES < <(sed -n 's/^[EW]: Failed to fetch *//p' "$log" |
      sed 's/ *\[IP: [^]]*\]$//')
    vpe_log "apt-get update could not fetch every index; going on with the lists apt has:"
    printf '==   %s\n' "${VPE_APT_FAILED_INDEXES[@]}" >&2
    rm -f "$log"
    return 0
  fi
  status=0
  grep -e '^E:' -e '^Err' "$log" | vpe_install_failed "apt-get update failed $try times" || status=$?
  rm -f "$log"
  return "$status"
}

# Adds the pins for one package apt refused ($1: name:i386, or a bare name for the machine's own
# amd64) to the caller's array `pins`: the package at the newest version both architectures'
# lists offer (apt-cache madison lists the newest first), and its copy of the other architecture
# at the same version when that copy is installed, because the copies of a Multi-Arch: same
# library must have one version. A pin that would downgrade the installed copy of the other
# architecture is not made; the caller's array `skew` gets a sentence instead.
vpe_apt_pin_pair() {
  local name=${1%:*} arch=amd64 other=i386 version="" candidate installed own others
  if [ "$1" != "$name" ]; then
    arch=${1##*:}
    [ "$arch" = amd64 ] || other=amd64
  fi
  [ "$arch" = i386 ] || other=i386
  own=$(apt-cache madison "$name:$arch" | sed -n 's/^[^|]*| *\([^ |]*\) *|.*/\1/p')
  others=$(apt-cache madison "$name:$other" | sed -n 's/^[^|]*| *\([^ |]*\) *|.*/\1/p')
  if [ -z "$own" ]; then
    skew+=("$name:$arch is in no package list apt has")
    return 0
  fi
  if [ -z "$others" ]; then
    version=$(head -n1 <<<"$own")
  else
    for candidate in $own; do
      grep -qxF -- "$candidate" <<<"$others" && version=$candidate && break
    done
  fi
  installed=$(vpe_installed_version "$name:$other") || installed=""
  if [ -z "$version" ] || { [ -n "$installed" ] && [ "$installed" != "$version" ] &&
    dpkg --compare-versions "$version" lt "$installed"; }; then
    skew+=("$name: $other has ${installed:-no copy} installed, the $arch lists offer at most $(head -n1 <<<"$own"): the i386 index lags behind the amd64 one")
    return 0
  fi
  pins+=("$name:$arch=$version")
  [ -z "$installed" ] || pins+=("$name:$other=$version")
}

# Installs packages without their recommends: `vpe_apt_install [apt option...] -- package...`.
# The install is simulated first. When apt will not install i386 packages because their amd64
# copies are at other versions (a lagging i386 index), those packages are pinned on both
# architectures to a version both offer, round after round, and simulated again; no pin may
# downgrade. Returns 0 when installed; otherwise nothing was installed, and it prints why and
# returns VPE_STATUS_INSTALL_FAILED.
vpe_apt_install() {
  local options=() packages pins=() skew=() log round status name names pinned
  while [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  shift
  packages=("$@")
  log=$(mktemp)
  for ((round = 1; ; round++)); do
    status=0
    apt-get install -s -y --no-install-recommends "${options[@]}" "${packages[@]}" "${pins[@]}" \
      >"$log" 2>&1 || status=$?
    if [ "$status" -eq 0 ]; then
      grep -q 'will be DOWNGRADED' "$log" || break
      skew+=("the install would downgrade installed packages")
    fi
    names=$(grep -o 'Depends: [^ ]* .*but it is not going to be installed' "$log" |
      sed -e 's/^Depends: \([^ ]*\) .*/\1/' -e '/:/!s/$/:amd64/' | sort -u)
    pinned=$(printf '%s\n' "${pins[@]}" | sed 's/=.*//')
    names=$(grep -vxF -e "${pinned:-=}" <<<"$names" || true)
    if [ -z "$names" ] || [ "$round" -ge "$VPE_APT_PIN_ROUNDS" ] || [ ${#skew[@]} -gt 0 ]; then
      break
    fi
    for name in $names; do
      vpe_apt_pin_pair "$name"
    done
    [ ${#skew[@]} -eq 0 ] || break
  done
  if [ "$status" -ne 0 ] || [ ${#skew[@]} -gt 0 ]; then
    status=0
    {
      grep -e '^E:' -e 'Depends:' "$log" | sed 's/^ *//'
      [ ${#skew[@]} -eq 0 ] || printf 'version skew: %s\n' "${skew[@]}"
    } | vpe_install_failed "apt cannot install ${packages[*]}" || status=$?
    rm -f "$log"
    return "$status"
  fi
  [ ${#pins[@]} -eq 0 ] || vpe_log "installing with the versions both architectures offer: ${pins[*]}"
  status=0
  vpe_as_root DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${options[@]}" "${packages[@]}" "${pins[@]}" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    status=0
    grep -e '^E:' "$log" | vpe_install_failed "apt-get install ${packages[*]} failed" || status=$?
    rm -f "$log"
    return "$status"
  fi
  rm -f "$log"
}

# Installs those of the given packages that are missing (i386 ones after adding the architecture
# to dpkg). When every one is installed, neither apt-get nor dpkg's configuration is touched.
vpe_install_missing() {
  local missing
  mapfile -t missing < <(vpe_missing_packages "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  vpe_log "installing ${missing[*]}"
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    vpe_as_root dpkg --add-architecture i386 || {
      vpe_install_failed "dpkg cannot add the i386 architecture" </dev/null
      return
    }
  fi
  # One update per set-up: the lists fetched for an earlier install in this run are fresh.
  [ -n "${VPE_APT_LISTS_FRESH:-}" ] || vpe_apt_update || return
  VPE_APT_LISTS_FRESH=1
  vpe_apt_install -- "${missing[@]}"
}

# Installs qemu's user-mode emulators from bookworm-backports (qemu 7.2 of bookworm cannot run
# Wine), adding that suite to apt's sources when none names it. VPE_APT_ETC is apt's
# configuration folder (/etc/apt).
vpe_install_qemu() {
  local etc=${VPE_APT_ETC:-/etc/apt}
  if ! grep -rqs bookworm-backports "$etc/sources.list" "$etc/sources.list.d"; then
    echo 'deb http://deb.debian.org/debian bookworm-backports main' |
      vpe_as_root tee "$etc/sources.list.d/vpe-backports.list" >/dev/null
  fi
  vpe_apt_update || return
  vpe_apt_install -t bookworm-backports -- qemu-user-static
}

# Exports VPE_WINE_DEV_ROOT and VPE_WINE_DEV_ROOT_AMD64, folders with Wine's Windows headers
# (usr/include/wine/wine) and its import libraries for the installed Wine, of i386
# (usr/lib/i386-linux-gnu/wine/i386-windows, the x86 MSVC-ABI builds) and of amd64
# (usr/lib/x86_64-linux-gnu/wine/x86_64-windows, the x64 ones). See vpe_wine_dev_files_of.
vpe_wine_dev_files() {
  vpe_wine_dev_files_of i386 VPE_WINE_DEV_ROOT || return
  vpe_wine_dev_files_of amd64 VPE_WINE_DEV_ROOT_AMD64
}

# vpe_wine_dev_files_of ARCH VARIABLE: exports VARIABLE as / when libwine-dev:ARCH is installed;
# else as an unpacked copy in the user's cache, fetched once with `apt-get download` and unpacked
# with `dpkg -x`, never installed (installing it pulls in libc6-dev, which a lagging i386 index
# can make uninstallable). The version is the installed Wine's (libwine:i386; the copies of a
# Multi-Arch: same package have one version). A failed fetch leaves no cache folder behind.
vpe_wine_dev_files_of() {
  local arch=$1 variable=$2 version cache work status
  if vpe_installed_version "libwine-dev:$arch" >/dev/null; then
    export "$variable=/"
    return 0
  fi
  version=$(vpe_installed_version libwine:i386) || {
    vpe_install_failed "Wine's development files need an installed libwine:i386" </dev/null
    return
  }
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/vpe/libwine-dev-$version-$arch
  if ! [ -f "$cache/usr/include/wine/wine/windows/windows.h" ]; then
    vpe_log "fetching Wine's development files (libwine-dev:$arch $version) into $cache"
    work=$(mktemp -d)
    status=0
    (cd "$work" && apt-get download "libwine-dev:$arch=$version") >"$work/log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
      # The lists may predate the installed Wine: fetch them once and try again.
      status=0
      vpe_apt_update && (cd "$work" && apt-get download "libwine-dev:$arch=$version") \
        >"$work/log" 2>&1 || status=$?
    fi
    if [ "$status" -eq 0 ]; then
      rm -rf "$cache.partial"
      mkdir -p "$cache.partial"
      dpkg -x "$work"/libwine-dev_*.deb "$cache.partial" >>"$work/log" 2>&1 &&
        [ -f "$cache.partial/usr/include/wine/wine/windows/windows.h" ] &&
        mv "$cache.partial" "$cache" || status=$?
      rm -rf "$cache.partial"
    fi
    if [ "$status" -ne 0 ]; then
      status=0
      grep -e '^E:' -e 'dpkg' "$work/log" |
        vpe_install_failed "cannot fetch libwine-dev:$arch $version (Wine's development files)" ||
        status=$?
      rm -rf "$work"
      return "$status"
    fi
    rm -rf "$work"
  fi
  export "$variable=$cache"
}
