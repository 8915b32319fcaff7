#!/usr/bin/env bash
# Builds both ABIs for both machine types (Release: build/ with MinGW for x86, and through it
# build/msvc/ with clang-cl, build/x64/ with MinGW for x64 and build/msvc-x64/ with clang-cl) and
# makes the release ZIP: build/EngineVeilpathTestEnv-<version>-win32.zip, the install tree of
# `cmake --install build --prefix DIR` (bin/, bin-mingw/, bin-x64/, bin-x64-mingw/, sdk/,
# README.md, docs/, see cmake/VpePackage.cmake). The same by hand: cmake --build build &&
# (cd build && cpack -G ZIP)
set -euo pipefail
. "$(dirname "$0")/scripts/env.sh"

vpe_install_packages build
vpe_build Release
cd "$VPE_BUILD"
cpack -G ZIP >/dev/null
ls -1 "$VPE_BUILD"/EngineVeilpathTestEnv-*-win32.zip
