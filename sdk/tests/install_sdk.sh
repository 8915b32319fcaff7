#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, as `cmake --install` does for a user, and checks
# that the four harness folders are there, that the SDK part holds the engine headers, the SDK
# library's sources and the clang-cl support, and nothing of the harness, and that the README
# comes with every document of docs/ and its links resolve inside the release.
# Usage: install_sdk.sh BUILD_DIR PREFIX
set -eu
build=$1 prefix=$2
source_root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for file in bin/vpetest.exe bin/vpecheck.exe bin/vpedrive.exe bin/vpe.dll bin-mingw/vpetest.exe \
  bin-mingw/vpecheck.exe bin-mingw/vpe.dll bin-x64/vpetest.exe bin-x64/vpecheck.exe bin-x64/vpe.dll \
  bin-x64-mingw/vpetest.exe bin-x64-mingw/vpecheck.exe bin-x64-mingw/vpe.dll README.md \
  sdk/src/base/wide_string.cpp sdk/src/base/global_heap.cpp sdk/src/base/file_system.cpp \
  sdk/clang-cl/clang-cl-i686.cmake sdk/clang-cl/clang-cl-x86_64.cmake \
  sdk/clang-cl/VpeClangClToolchain.cmake sdk/clang-cl/VpeClangClSupport.cmake \
  sdk/template/CMakeLists.txt sdk/template/my_engine.cpp \
  sdk/lib/cmake/VeilpathEngineSdk/VeilpathEngineSdkConfig.cmake \
  sdk/lib/cmake/VeilpathEngineSdk/VeilpathEngineSdkConfigVersion.cmake; do
  [ -f "$prefix/$file" ] || { echo "missing after install: $file"; status=1; }
done
for document in "$source_root"/docs/*.md; do
  file=docs/$(basename "$document")
  [ -f "$prefix/$file" ] || { echo "missing after install: $file"; status=1; }
done
# The release has no sources beside its documents: a link from them into the tree would not
# resolve here.
cmake -DVPE_ROOT="$prefix" -P "$source_root/scripts/tests/doc_links_test.cmake" >/dev/null ||
  { echo "the installed README.md and docs/ have broken links (above)"; status=1; }
# bin/ is the MSVC-ABI build, bin-mingw/ this build, bin-x64/ and bin-x64-mingw/ the x64 ones:
# four different harnesses.
folders=(bin bin-mingw bin-x64 bin-x64-mingw)
for i in "${!folders[@]}"; do
  for other in "${folders[@]:i+1}"; do
    if cmp -s "$prefix/${folders[$i]}/vpetest.exe" "$prefix/$other/vpetest.exe"; then
      echo "${folders[$i]}/ and $other/ hold the same vpetest.exe"
      status=1
    fi
  done
done
[ ! -e "$prefix/sdk/lib/libvpe_sdk.a" ] || { echo "a prebuilt SDK library is installed"; status=1; }
headers=$(cd "$prefix/sdk/include" && find . -type f | sort | tr '\n' ' ')
expected="./base/array.h ./base/file_handle.h ./base/file_system.h ./base/global_heap.h ./base/language_support.h ./base/quick_sort.h ./base/scoped_handle.h ./base/wide_string.h ./engine/check_log_format.h ./engine/engine_interface.h "
if [ "$headers" != "$expected" ]; then
  echo "sdk/include holds: $headers"
  echo "expected:          $expected"
  status=1
fi
# Every header the SDK ships must compile on its own from the installed folder, for x86 and x64.
for header in $expected; do
  for compiler in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
    echo "#include \"${header#./}\"" |
      "$compiler" -std=c++17 -fsyntax-only -Wall -Wextra -Werror -I"$prefix/sdk/include" -x c++ - ||
      { echo "does not compile alone for $compiler: $header"; status=1; }
  done
done
exit $status
