# Cross build for 32-bit Windows (x86) in the MSVC ABI (what Visual Studio builds with -A Win32)
# with clang-cl on Wine's headers and i386 import libraries (VpeClangClToolchain.cmake says how).
# The release ships this file in sdk/clang-cl/ for engines:
#   cmake -DCMAKE_TOOLCHAIN_FILE=<release>/sdk/clang-cl/clang-cl-i686.cmake
set(VPE_CLANG_CL_MACHINE x86)
include(${CMAKE_CURRENT_LIST_DIR}/VpeClangClToolchain.cmake)
