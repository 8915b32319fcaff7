#!/usr/bin/env bash
# The package set-up (scripts/install.sh, vpe_install_packages of scripts/env.sh) against fake
# apt-get, apt-cache, dpkg, dpkg-query, sudo and id that record every call. Each case runs with a
# PATH of only the fakes and links to a few basic tools, so none can reach the real apt.
# Exit status 0 when every case holds; each failed expectation is printed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fakes=$work/fakes tools=$work/tools
mkdir -p "$fakes" "$tools"
for tool in bash env cat grep sed sort head mkdir mktemp rm mv cp sleep dirname; do
  ln -s "$(command -v "$tool")" "$tools/$tool"
done

# The fakes. State lives in $FAKE: installed ("package version" lines), archs, updates (one
# outcome a line, used up in order: ok, partial, fail), refusals ("requester dependency" lines
# the simulated install refuses until the dependency is pinned), madison/<name:arch>, and
# install-fails or download-fails when those should fail.
cat >"$fakes/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
case " $* " in
*" update "*)
  outcome=$(head -n1 "$FAKE/updates" 2>/dev/null)
  [ -s "$FAKE/updates" ] && sed -i 1d "$FAKE/updates"
  case ${outcome:-ok} in
  partial)
    echo "Err:5 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
    echo "W: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
  fail)
    echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)"
    exit 100 ;;
  esac ;;
*" download "*)
  [ -e "$FAKE/download-fails" ] && { echo "E: Can't find a source to download version"; exit 100; }
  request=${*: -1} arch=${request#*:}
  : >"${request%%:*}_${request#*=}_${arch%%=*}.deb" ;;
*" -s "*)
  status=0
  while read -r requester dependency; do
    [[ " $* " == *" $requester "* || " $* " == *" $requester="* ]] || continue
    [[ " $* " == *" $dependency="* || " $* " == *" $dependency:amd64="* ]] && continue
    echo " $requester : Depends: $dependency (>= 1) but it is not going to be installed"
    status=100
  done < <(cat "$FAKE/refusals" 2>/dev/null)
  [ "$status" -eq 0 ] || echo "E: Unable to correct problems, you have held broken packages."
  exit "$status" ;;
*" install "*)
  [ -e "$FAKE/install-fails" ] && { echo "E: Sub-process dpkg returned an error code (1)"; exit 100; }
  for request; do
    case $request in -*) continue ;; esac
    echo "${request%%=*} 8.0~repack-4" >>"$FAKE/installed"
    # wine32 depends on libwine of its version.
    [ "$request" = wine32:i386 ] && echo "libwine:i386 8.0~repack-4" >>"$FAKE/installed"
  done ;;
esac
exit 0
EOF
cat >"$fakes/apt-cache" <<'EOF'
#!/usr/bin/env bash
echo "apt-cache $*" >>"$FAKE/calls"
[ "$1" = madison ] && cat "$FAKE/madison/$2" 2>/dev/null
exit 0
EOF
cat >"$fakes/dpkg-query" <<'EOF'
#!/usr/bin/env bash
format=${2#-f=} package=$3
version=$(sed -n "s/^$package //p" "$FAKE/installed" 2>/dev/null | head -n1)
[ -n "$version" ] || { echo "dpkg-query: no packages found matching $package" >&2; exit 1; }
format=${format//'${Status}'/install ok installed}
printf '%s' "${format//'${Version}'/$version}"
EOF
cat >"$fakes/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE/calls"
case $1 in
--print-foreign-architectures) cat "$FAKE/archs" ;;
--add-architecture) echo "$2" >>"$FAKE/archs" ;;
--compare-versions)
  [ "$3" = lt ] && [ "$2" != "$4" ] && [ "$(printf '%s\n%s\n' "$2" "$4" | sort -V | head -n1)" = "$2" ] ;;
-x)
  mkdir -p "$3/usr/include/wine/wine/windows" && : >"$3/usr/include/wine/wine/windows/windows.h" ;;
esac
EOF
cat >"$fakes/sudo" <<'EOF'
#!/usr/bin/env bash
echo "sudo $*" >>"$FAKE/calls"
exec "$@"
EOF
# tee writes its file, but binfmt_misc's: a line written to register adds the entry it names,
# -1 written to an entry removes it.
cat >"$fakes/tee" <<'EOF'
#!/usr/bin/env bash
echo "tee $*" >>"$FAKE/calls"
line=$(cat)
case $1 in
*/binfmt/register) name=${line#:}; echo enabled >"$(dirname "$1")/${name%%:*}" ;;
*/binfmt/*) [ "$line" = -1 ] && rm -f "$1" ;;
*) printf '%s\n' "$line" >"$1" ;;
esac
exit 0
EOF
cat >"$fakes/qemu-i386-static" <<'EOF'
#!/usr/bin/env bash
echo "qemu-i386 version 10.0.2 (Debian 1:10.0.2+ds-1~bpo12+1)"
EOF
cat >"$fakes/id" <<'EOF'
#!/usr/bin/env bash
cat "$FAKE/uid" 2>/dev/null || echo 0
EOF
chmod +x "$fakes"/*

failures=0 cases=0
# Starts a case with no package installed, i386 added, every update and install succeeding.
new_case() {
  cases=$((cases + 1))
  name=$1
  export FAKE=$work/case$cases
  mkdir -p "$FAKE/madison" "$FAKE/binfmt"
  : >"$FAKE/binfmt/register"
  : >"$FAKE/calls"
  : >"$FAKE/installed"
  echo i386 >"$FAKE/archs"
}
# Runs a command of the set-up with only the fakes and the basic tools on PATH; its output goes
# to $FAKE/out, its status to $status.
run() {
  (
    export PATH=$fakes:$tools HOME=$FAKE XDG_CACHE_HOME=$FAKE/cache
    export VPE_APT_RETRY_PAUSE=0 VPE_APT_ETC=$FAKE/etc VPE_BINFMT=$FAKE/binfmt
    . "$root/scripts/env.sh"
    "$@"
    status=$?
    echo "VPE_WINE_DEV_ROOT=${VPE_WINE_DEV_ROOT:-}"
    echo "VPE_WINE_DEV_ROOT_AMD64=${VPE_WINE_DEV_ROOT_AMD64:-}"
    exit $status
  ) >"$FAKE/out" 2>&1
  status=$?
}
expect() {
  "${@:2}" || {
    echo "FAIL [$name]: $1"
    failures=$((failures + 1))
  }
}
calls() { grep -c -e "$1" "$FAKE/calls"; }
said() { grep -qF -e "$1" "$FAKE/out"; }
said_line() { grep -qxF -e "$1" "$FAKE/out"; }
not_said() { ! grep -qF -e "$1" "$FAKE/out"; }

new_case "fresh machine"
: >"$FAKE/archs"
run vpe_install_packages test
expect "succeeds" [ "$status" -eq 0 ]
expect "adds i386 once" [ "$(calls '^dpkg --add-architecture i386$')" -eq 1 ]
expect "updates once" [ "$(calls '^apt-get update')" -eq 1 ]
expect "simulates, then installs wine32:i386 without recommends" \
  grep -q '^apt-get install -y -q --no-install-recommends .*wine32:i386' "$FAKE/calls"
expect "fetches the Wine development files of the installed Wine" \
  [ "$(calls '^apt-get download libwine-dev:i386=8.0~repack-4$')" -eq 1 ]
expect "fetches the amd64 ones of the same version" \
  [ "$(calls '^apt-get download libwine-dev:amd64=8.0~repack-4$')" -eq 1 ]
expect "exports the unpacked copy" said_line "VPE_WINE_DEV_ROOT=$FAKE/cache/vpe/libwine-dev-8.0~repack-4-i386"
expect "exports the unpacked amd64 copy" \
  said_line "VPE_WINE_DEV_ROOT_AMD64=$FAKE/cache/vpe/libwine-dev-8.0~repack-4-amd64"
expect "installs wine64 for the x64 suites" grep -q '^apt-get install -y -q --no-install-recommends wine64$' "$FAKE/calls"
: >"$FAKE/calls"
: >"$FAKE/archs"
run vpe_install_packages test
expect "then with everything there: succeeds" [ "$status" -eq 0 ]
expect "then: no apt call and no dpkg change at all" [ ! -s "$FAKE/calls" ]
expect "then: the cached Wine development files" \
  said_line "VPE_WINE_DEV_ROOT=$FAKE/cache/vpe/libwine-dev-8.0~repack-4-i386"
expect "then: the cached amd64 ones" \
  said_line "VPE_WINE_DEV_ROOT_AMD64=$FAKE/cache/vpe/libwine-dev-8.0~repack-4-amd64"
echo "libwine-dev:i386 8.0~repack-4" >>"$FAKE/installed"
run vpe_install_packages build
expect "installed Wine development files are used where they are" said_line "VPE_WINE_DEV_ROOT=/"
expect "each architecture's on its own" \
  said_line "VPE_WINE_DEV_ROOT_AMD64=$FAKE/cache/vpe/libwine-dev-8.0~repack-4-amd64"

new_case "update fails once, then works; not root"
echo 1000 >"$FAKE/uid"
printf 'fail\nok\n' >"$FAKE/updates"
run vpe_install_missing cmake
expect "succeeds" [ "$status" -eq 0 ]
expect "tries the update twice" [ "$(calls '^sudo .*/apt-get update$')" -eq 2 ]
expect "says it tries again" said "apt-get update failed (try 1 of 3)"
expect "installs through sudo, tools by their paths" \
  grep -q "^sudo .*/env DEBIAN_FRONTEND=noninteractive $fakes/apt-get install -y" "$FAKE/calls"
expect "simulates without sudo" grep -q '^apt-get install -s' "$FAKE/calls"

new_case "an index fails on every try"
printf 'partial\npartial\npartial\n' >"$FAKE/updates"
run vpe_install_missing wine32:i386
expect "goes on to the install and succeeds" [ "$status" -eq 0 ]
expect "tries the update three times" [ "$(calls '^apt-get update')" -eq 3 ]
expect "installs" [ "$(calls '^apt-get install -y')" -eq 1 ]
expect "names the index" said "binary-i386/Packages.xz  File has unexpected size"

new_case "update fails for good"
printf 'fail\nfail\nfail\n' >"$FAKE/updates"
run vpe_install_missing xvfb
expect "ends with the set-up's status" [ "$status" -eq 75 ]
expect "installs nothing" [ "$(calls '^apt-get install')" -eq 0 ]
expect "says why" said "Could not get lock"

new_case "install fails after a partial update"
printf 'partial\npartial\npartial\n' >"$FAKE/updates"
: >"$FAKE/install-fails"
run vpe_install_missing wine32:i386 fonts-wine
expect "ends with the set-up's status, not apt's" [ "$status" -eq 75 ]
expect "one message: what" said "the set-up cannot go on: apt-get install wine32:i386 fonts-wine failed"
expect "one message: apt's error" said "E: Sub-process dpkg returned an error code (1)"
expect "one message: the failed index" said "Mirror sync in progress?"
expect "one message: what to do" said "run the command again later"

# An i386 index behind the amd64 one: wine32 needs libwine, which needs Multi-Arch: same
# libraries whose amd64 copies are installed at versions the i386 lists do not offer as newest.
skewed_libraries() {
  printf 'wine32:i386 libwine:i386\nlibwine:i386 libssl3:i386\nlibwine:i386 zlib1g:i386\n' \
    >"$FAKE/refusals"
  printf ' libwine | 8.0~repack-4 | main\n' >"$FAKE/madison/libwine:amd64"
  printf 'libwine:i386 | 8.0~repack-4 | main\n' >"$FAKE/madison/libwine:i386"
  printf ' libssl3 | 3.0.22 | security\n libssl3 | 3.0.20 | main\n libssl3 | 3.0.17 | updates\n' \
    >"$FAKE/madison/libssl3:amd64"
  printf 'libssl3:i386 | 3.0.20 | main\nlibssl3:i386 | 3.0.17 | updates\n' >"$FAKE/madison/libssl3:i386"
  printf ' zlib1g | 1:1.2.13-1+deb12u1 | security\n zlib1g | 1:1.2.13-1 | main\n' \
    >"$FAKE/madison/zlib1g:amd64"
  printf 'zlib1g:i386 | 1:1.2.13-1 | main\n' >"$FAKE/madison/zlib1g:i386"
  printf 'zlib1g:amd64 1:1.2.13-1\n' >>"$FAKE/installed"
}

new_case "version skew that pins resolve"
skewed_libraries
echo "libssl3:amd64 3.0.20" >>"$FAKE/installed"
run vpe_install_missing wine32:i386
expect "succeeds" [ "$status" -eq 0 ]
expect "simulates three rounds" [ "$(calls '^apt-get install -s')" -eq 3 ]
expect "installs with both architectures pinned to the common version" grep -q \
  '^apt-get install -y .* wine32:i386 libwine:i386=8.0~repack-4 libssl3:i386=3.0.20 libssl3:amd64=3.0.20 zlib1g:i386=1:1.2.13-1 zlib1g:amd64=1:1.2.13-1$' \
  "$FAKE/calls"
expect "pins no amd64 copy that is not installed" [ "$(calls 'libwine:amd64=')" -eq 0 ]

new_case "version skew that only a downgrade would resolve"
skewed_libraries
echo "libssl3:amd64 3.0.22" >>"$FAKE/installed"
run vpe_install_missing wine32:i386
expect "ends with the set-up's status" [ "$status" -eq 75 ]
expect "installs nothing" [ "$(calls '^apt-get install -y')" -eq 0 ]
expect "names the skew" said "version skew: libssl3: amd64 has 3.0.22 installed, the i386 lists offer at most 3.0.20"
expect "names what apt refused" said "libwine:i386 : Depends: libssl3:i386 (>= 1) but it is not going to be installed"

new_case "wine64 whose amd64 library the lagging i386 copy holds back"
# The i386 copy came from a lagging index; the amd64 copy wine64 needs must match it.
printf 'wine64 libgstreamer-plugins-base1.0-0\n' >"$FAKE/refusals"
printf ' libgstreamer-plugins-base1.0-0 | 1.22.0-3+deb12u7 | security\n libgstreamer-plugins-base1.0-0 | 1.22.0-3+deb12u6 | main\n' \
  >"$FAKE/madison/libgstreamer-plugins-base1.0-0:amd64"
printf 'libgstreamer-plugins-base1.0-0:i386 | 1.22.0-3+deb12u6 | main\n' \
  >"$FAKE/madison/libgstreamer-plugins-base1.0-0:i386"
echo "libgstreamer-plugins-base1.0-0:i386 1.22.0-3+deb12u6" >>"$FAKE/installed"
run vpe_install_missing wine64
expect "succeeds" [ "$status" -eq 0 ]
expect "installs with the amd64 copy pinned to the i386 copy's version" grep -q \
  '^apt-get install -y .* wine64 libgstreamer-plugins-base1.0-0:amd64=1.22.0-3+deb12u6 libgstreamer-plugins-base1.0-0:i386=1.22.0-3+deb12u6$' \
  "$FAKE/calls"

new_case "wine64 cannot be installed on a machine that runs i386 code natively, for run.sh"
: >"$FAKE/install-fails"
run vpe_install_wine64 run
expect "goes on" [ "$status" -eq 0 ]
expect "says so" said "wine64 cannot be installed; i386 code runs natively here"

new_case "wine64 cannot be installed on a machine that runs i386 code natively, for the tests"
: >"$FAKE/install-fails"
run vpe_install_wine64 test
expect "ends with the set-up's status" [ "$status" -eq 75 ]
expect "says why wine64 is needed" said "the x64 suites run under wine64"

new_case "wine64 cannot be installed under qemu-i386"
echo enabled >"$FAKE/binfmt/qemu-i386"
: >"$FAKE/install-fails"
run vpe_install_wine64
expect "ends with the set-up's status" [ "$status" -eq 75 ]
expect "says why wine64 is needed" said "under qemu-i386 Wine needs the native wineserver64"

new_case "the qemu kind on a native machine, undone on Ctrl+C"
run bash -c '. "$0"; vpe_on_exit vpe_end_qemu_kind; vpe_begin_qemu_kind || exit 9
  [ -e "$VPE_BINFMT/qemu-i386" ] && echo "registered: $(vpe_machine_kind)"
  kill -INT $$; sleep 5; echo "still running"' "$root/scripts/env.sh"
expect "ends as interrupted" [ "$status" -eq 130 ]
expect "registers qemu-i386 for the run" said "registered: i386 code runs under qemu-i386"
expect "removes it again" [ ! -e "$FAKE/binfmt/qemu-i386" ]
expect "stops at the interrupt" not_said "still running"

new_case "the qemu kind on a qemu machine"
echo enabled >"$FAKE/binfmt/qemu-i386"
run bash -c '. "$0"; vpe_on_exit vpe_end_qemu_kind; vpe_begin_qemu_kind' "$root/scripts/env.sh"
expect "succeeds" [ "$status" -eq 0 ]
expect "leaves the machine's own registration" [ -e "$FAKE/binfmt/qemu-i386" ]

new_case "qemu from bookworm-backports"
mkdir -p "$FAKE/etc/sources.list.d"
echo "deb http://deb.debian.org/debian bookworm main" >"$FAKE/etc/sources.list"
printf 'partial\npartial\npartial\n' >"$FAKE/updates"
run vpe_install_qemu
expect "succeeds although an index failed" [ "$status" -eq 0 ]
expect "adds the suite" grep -q 'bookworm-backports main' "$FAKE/etc/sources.list.d/vpe-backports.list"
expect "installs from it" grep -q '^apt-get install -y .*-t bookworm-backports qemu-user-static$' "$FAKE/calls"

new_case "Wine development files cannot be fetched"
echo "libwine:i386 8.0~repack-4" >"$FAKE/installed"
: >"$FAKE/download-fails"
run vpe_wine_dev_files
expect "ends with the set-up's status" [ "$status" -eq 75 ]
expect "tries again after updating the lists" [ "$(calls '^apt-get download')" -eq 2 ]
expect "leaves no cache folder" [ ! -e "$FAKE/cache/vpe/libwine-dev-8.0~repack-4-i386" ]
expect "names the package" said "cannot fetch libwine-dev:i386 8.0~repack-4"

new_case "tools are looked up on PATH only"
run vpe_as_root /usr/bin/apt-get update
expect "a path is refused" [ "$status" -eq 127 ]
expect "nothing runs" [ ! -s "$FAKE/calls" ]

# Whatever happened, apt's checks were never switched off.
if grep -h -i -e 'allow-' -e 'AllowInsecure' -e 'AllowUnauthenticated' -e 'trusted=' -e '--force' \
  "$work"/case*/calls; then
  echo "FAIL: an apt check was switched off"
  failures=$((failures + 1))
fi
echo "$cases cases, $failures failed expectations"
[ "$failures" -eq 0 ]
