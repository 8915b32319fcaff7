# Cross build for 32-bit Windows in the MSVC ABI (what Visual Studio builds) with the LLVM tools
# Debian ships: clang-cl-14 for i686-pc-windows-msvc, lld-link, llvm-rc, llvm-mt, llvm-lib. Wine's
# Windows and msvcrt headers and its import libraries stand in for the Windows SDK, so the
# programs import only system DLLs (msvcrt.dll among them), never a Visual C++ redistributable.
# There is no C++ standard library for this ABI here: VPE_NO_STDLIB is set, and the language
# support a compiler's runtime would bring comes from sdk/clang-cl/. The release ships this file
# in sdk/clang-cl/ for engines: cmake -DCMAKE_TOOLCHAIN_FILE=<release>/sdk/clang-cl/clang-cl-i686.cmake
#
# Wine's development files (libwine-dev:i386, installed or unpacked): VPE_WINE_DEV_ROOT, a cache
# entry or an environment variable, names a folder holding usr/include/wine/wine/windows; by
# default / when the package is installed, else the newest ~/.cache/vpe/libwine-dev-*-i386.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)

find_program(VPE_CLANG_CL NAMES clang-cl-14 clang-cl REQUIRED)
find_program(VPE_LLD_LINK NAMES lld-link-14 lld-link REQUIRED)
find_program(VPE_LLVM_RC NAMES llvm-rc-14 llvm-rc REQUIRED)
find_program(VPE_LLVM_MT NAMES llvm-mt-14 llvm-mt REQUIRED)
find_program(VPE_LLVM_LIB NAMES llvm-lib-14 llvm-lib REQUIRED)
find_program(VPE_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
set(CMAKE_C_COMPILER ${VPE_CLANG_CL})
set(CMAKE_CXX_COMPILER ${VPE_CLANG_CL})
set(CMAKE_LINKER ${VPE_LLD_LINK})
set(CMAKE_RC_COMPILER ${VPE_LLVM_RC})
set(CMAKE_MT ${VPE_LLVM_MT})
set(CMAKE_AR ${VPE_LLVM_LIB})

# The language support of this build (sdk/clang-cl/): beside this file in the released SDK, where
# the file is installed into sdk/clang-cl/; ../sdk/clang-cl in the source tree. Projects include
# VPE_CLANG_CL_SUPPORT (the tree's top CMakeLists, the SDK's package config), so it is linked
# into this build's modules only, never into a Visual Studio build.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/VpeClangClSupport.cmake)
  set(VPE_CLANG_CL_SUPPORT ${CMAKE_CURRENT_LIST_DIR}/VpeClangClSupport.cmake)
else()
  get_filename_component(VPE_CLANG_CL_SUPPORT
                         ${CMAKE_CURRENT_LIST_DIR}/../sdk/clang-cl/VpeClangClSupport.cmake ABSOLUTE)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/VpeWineDevRoot.cmake)
vpe_find_wine_dev_root(_vpeWine)
if(_vpeWine STREQUAL "")
  message(FATAL_ERROR "Wine's development files (libwine-dev:i386) not found: set "
                      "VPE_WINE_DEV_ROOT to a folder holding usr/include/wine/wine/windows")
endif()
set(VPE_WINE_DEV_ROOT "${_vpeWine}" CACHE PATH "Root of Wine's development files")
string(REGEX REPLACE "/$" "" _vpeWine "${_vpeWine}")
set(VPE_WINE_INCLUDE ${_vpeWine}/usr/include/wine/wine)
set(VPE_WINE_LIBS ${_vpeWine}/usr/lib/i386-linux-gnu/wine/i386-windows)

# The linker and the compiler ask for <name>.lib (kernel32.lib, msvcrt.lib, ...): a folder of
# links to Wine's lib<name>.a, which lld-link reads as they are. Made once per build tree; the
# compiler checks' own trees use the main tree's.
if(NOT VPE_WINE_LIB_LINKS)
  set(VPE_WINE_LIB_LINKS ${CMAKE_BINARY_DIR}/wine-import-libs)
endif()
if(NOT EXISTS ${VPE_WINE_LIB_LINKS}/kernel32.lib)
  file(MAKE_DIRECTORY ${VPE_WINE_LIB_LINKS})
  file(GLOB _vpeWineArchives ${VPE_WINE_LIBS}/lib*.a)
  foreach(archive IN LISTS _vpeWineArchives)
    get_filename_component(name ${archive} NAME)
    string(REGEX REPLACE "^lib(.*)\\.a$" "\\1.lib" name ${name})
    file(CREATE_LINK ${archive} ${VPE_WINE_LIB_LINKS}/${name} SYMBOLIC)
  endforeach()
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VPE_WINE_DEV_ROOT VPE_WINE_LIB_LINKS
     CMAKE_C_STANDARD_LIBRARIES CMAKE_CXX_STANDARD_LIBRARIES)

# Wine's winnt.h defines these intrinsics itself, clashing with clang's builtins of the same
# names: its own get other names.
set(_vpeRenamed "")
foreach(name _InterlockedAnd64 _InterlockedCompareExchangePointer _InterlockedExchangeAdd64
             _InterlockedDecrement64 _InterlockedExchangePointer _InterlockedIncrement64
             _InterlockedOr64 _InterlockedXor64 _InterlockedExchange64)
  string(APPEND _vpeRenamed " -D${name}=wine${name}")
endforeach()
# /X: no %INCLUDE%; Wine's folders as the system's. WINE_UNICODE_NATIVE: wchar_t is WCHAR.
# _MSVCR_VER=0: the C headers target msvcrt.dll (not ucrt's inline stdio). /GS-: the stack
# cookie lives in Visual Studio's static runtime, which this build has not. No thread-safe local
# statics (/Zc:threadSafeInit-): their guards are that runtime's too; msvcrt.dll has no
# sized delete (/Zc:sizedDealloc-). VPE_NO_STDLIB: the sources use no C++ standard library.
set(_vpeCompile "--target=i686-pc-windows-msvc /X /imsvc ${VPE_WINE_INCLUDE}/msvcrt /imsvc ${VPE_WINE_INCLUDE}/windows -DWINE_UNICODE_NATIVE -D_MSVCR_VER=0${_vpeRenamed} /GS- /Zc:threadSafeInit- /Zc:sizedDealloc- -DVPE_NO_STDLIB")
set(CMAKE_C_FLAGS_INIT "${_vpeCompile}")
set(CMAKE_CXX_FLAGS_INIT "${_vpeCompile} /EHsc")
set(CMAKE_RC_FLAGS_INIT "/I ${VPE_WINE_INCLUDE}/windows /I ${VPE_WINE_INCLUDE}/msvcrt")

# The platform module replaces a plain CMAKE_CXX_STANDARD_LIBRARIES: a cache entry stays.
set(_vpeLibraries "msvcrt.lib kernel32.lib user32.lib ntdll.lib winecrt0.lib")
set(CMAKE_C_STANDARD_LIBRARIES "${_vpeLibraries}" CACHE STRING "Libraries of every module")
set(CMAKE_CXX_STANDARD_LIBRARIES "${_vpeLibraries}" CACHE STRING "Libraries of every module")
# Entry points: Wine's libraries have none that runs static constructors (Visual Studio's static
# runtime does that), so sdk/clang-cl/VpeClangClSupport.cmake gives each program and library of
# a build its own (VpeProgramStartup, VpeLibraryStartup). Left alone (the compiler checks),
# lld-link picks mainCRTStartup or wmainCRTStartup from msvcrt.lib for a program and
# DllMainCRTStartup from winecrt0.lib for a library. No /entry here: the Makefile rules put these
# flags after a target's own options, and lld-link takes the last /entry.
set(_vpeLink "/nodefaultlib /safeseh:no /machine:x86 /libpath:${VPE_WINE_LIB_LINKS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_vpeLink}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_vpeLink}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_vpeLink}")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only what this build makes: no GoogleTest, no tests, no vpedrive.
set(VPE_NO_STDLIB ON CACHE BOOL "MSVC-ABI build without a C++ standard library" FORCE)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type")
endif()
