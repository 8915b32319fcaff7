# Cross build for 64-bit Windows (x64) in the MSVC ABI (what Visual Studio builds with -A x64)
# with clang-cl on Wine's headers and amd64 import libraries (VpeClangClToolchain.cmake says how).
# The release ships this file in sdk/clang-cl/ for engines:
#   cmake -DCMAKE_TOOLCHAIN_FILE=<release>/sdk/clang-cl/clang-cl-x86_64.cmake
set(VPE_CLANG_CL_MACHINE x64)
include(${CMAKE_CURRENT_LIST_DIR}/VpeClangClToolchain.cmake)
