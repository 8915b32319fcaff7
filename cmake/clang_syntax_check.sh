#!/usr/bin/env bash
# A second compiler keeps the sources portable: clang, for the same i686 MinGW target with the
# same headers (MinGW-w64's and the posix g++'s libstdc++), compiles every source of the tree
# (syntax only) with its own definitions and warnings. Any warning fails the check.
# Usage: clang_syntax_check.sh SOURCE_DIR BUILD_DIR
set -eu
source=$1 build=$2
clang=$(command -v clang++-14 || command -v clang++)
gxx=i686-w64-mingw32-g++-posix
work=$build/clang-check
cmake -DBUILD="$build" -DSOURCE="$source" -DOUT="$work" -P "$source/cmake/clang_arguments.cmake"

# g++'s own search list: libstdc++'s folders and MinGW-w64's headers (g++'s private folder holds
# GCC's intrinsics, which clang brings itself).
system=()
while read -r dir; do
  case $dir in
  */include/c++* | */i686-w64-mingw32/include) system+=(-isystem "$(realpath "$dir")") ;;
  esac
done < <($gxx -x c++ -E -v - </dev/null 2>&1 | sed -n '/search starts here:/,/End of search/p')
flags=(--target=i686-w64-mingw32 -fsyntax-only -nostdinc++ -nostdlibinc "${system[@]}"
       -Werror -Wno-unused-command-line-argument)
echo "clang: $("$clang" --version | head -1)"

# As many at a time as there are cores; a failing source shows clang's words and its name.
export VPE_CLANG="$clang" VPE_CLANG_FLAGS="${flags[*]}"
count=$(find "$work" -name '*.rsp' | wc -l)
find "$work" -name '*.rsp' | sort | xargs -P "$(nproc)" -I{} sh -c \
  '$VPE_CLANG $VPE_CLANG_FLAGS @{} 2>{}.err || { cat {}.err; echo "FAILED: {}"; exit 1; }' ||
  { echo "clang found faults (above)"; exit 1; }
echo "$count sources compiled without a warning"
