# The MSVC-ABI cross build with the LLVM tools Debian ships, for the machine type the including
# toolchain file names in VPE_CLANG_CL_MACHINE (x86: clang-cl-i686.cmake, x64:
# clang-cl-x86_64.cmake): clang-cl-14 for <machine>-pc-windows-msvc, lld-link, llvm-rc, llvm-mt,
# llvm-lib. Wine's Windows and msvcrt headers and its import libraries of that machine type stand
# in for the Windows SDK, so the programs import only system DLLs (msvcrt.dll among them), never a
# Visual C++ redistributable. There is no C++ standard library for this ABI here: VPE_NO_STDLIB is
# set, and the language support a compiler's runtime would bring comes from sdk/clang-cl/.
#
# Wine's development files (libwine-dev:i386 for x86, libwine-dev:amd64 for x64, installed or
# unpacked): VPE_WINE_DEV_ROOT (x86) or VPE_WINE_DEV_ROOT_AMD64 (x64), a cache entry or an
# environment variable, names a folder holding usr/include/wine/wine/windows and the import
# libraries; by default / when the package is installed, else the newest
# ~/.cache/vpe/libwine-dev-*-<i386|amd64> (VpeWineDevRoot.cmake).
if(VPE_CLANG_CL_MACHINE STREQUAL "x64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(_vpeTarget x86_64-pc-windows-msvc)
  set(_vpeWineArch amd64)
  # No /safeseh on x64: its exception handlers are in the unwind tables.
  set(_vpeMachineLink "/machine:x64")
elseif(VPE_CLANG_CL_MACHINE STREQUAL "x86")
  set(CMAKE_SYSTEM_PROCESSOR X86)
  set(_vpeTarget i686-pc-windows-msvc)
  set(_vpeWineArch i386)
  set(_vpeMachineLink "/safeseh:no /machine:x86")
else()
  message(FATAL_ERROR "VPE_CLANG_CL_MACHINE must be x86 or x64, not '${VPE_CLANG_CL_MACHINE}'")
endif()
set(CMAKE_SYSTEM_NAME Windows)

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
vpe_wine_dev_root_variable(_vpeRootVariable ${_vpeWineArch})
vpe_find_wine_dev_root(_vpeWine ${_vpeWineArch})
if(_vpeWine STREQUAL "")
  message(FATAL_ERROR "Wine's development files (libwine-dev:${_vpeWineArch}) not found: set "
                      "${_vpeRootVariable} to a folder holding usr/include/wine/wine/windows and "
                      "Wine's ${_vpeWineArch} import libraries")
endif()
set(${_vpeRootVariable} "${_vpeWine}" CACHE PATH "Root of Wine's development files")
string(REGEX REPLACE "/$" "" _vpeWine "${_vpeWine}")
vpe_wine_import_libs(_vpeLibs ${_vpeWineArch})
set(VPE_WINE_INCLUDE ${_vpeWine}/usr/include/wine/wine)
set(VPE_WINE_LIBS ${_vpeWine}/${_vpeLibs})

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
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${_vpeRootVariable}
     VPE_WINE_LIB_LINKS CMAKE_C_STANDARD_LIBRARIES CMAKE_CXX_STANDARD_LIBRARIES)

# Wine's winnt.h defines these intrinsics itself, clashing with clang's builtins of the same
# names: its own get other names (_InterlockedCompareExchange128 is one on x64 only).
set(_vpeRenamed "")
foreach(name _InterlockedAnd64 _InterlockedCompareExchangePointer _InterlockedExchangeAdd64
             _InterlockedDecrement64 _InterlockedExchangePointer _InterlockedIncrement64
             _InterlockedOr64 _InterlockedXor64 _InterlockedExchange64
             _InterlockedCompareExchange128)
  string(APPEND _vpeRenamed " -D${name}=wine${name}")
endforeach()
# /X: no %INCLUDE%; Wine's folders as the system's. WINE_UNICODE_NATIVE: wchar_t is WCHAR.
# _MSVCR_VER=0: the C headers target msvcrt.dll (not ucrt's inline stdio). /GS-: the stack
# cookie lives in Visual Studio's static runtime, which this build has not. No thread-safe local
# statics (/Zc:threadSafeInit-): their guards are that runtime's too; msvcrt.dll has no
# sized delete (/Zc:sizedDealloc-). VPE_NO_STDLIB: the sources use no C++ standard library.
set(_vpeCompile "--target=${_vpeTarget} /X /imsvc ${VPE_WINE_INCLUDE}/msvcrt /imsvc ${VPE_WINE_INCLUDE}/windows -DWINE_UNICODE_NATIVE -D_MSVCR_VER=0${_vpeRenamed} /GS- /Zc:threadSafeInit- /Zc:sizedDealloc- -DVPE_NO_STDLIB")
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
set(_vpeLink "/nodefaultlib ${_vpeMachineLink} /libpath:${VPE_WINE_LIB_LINKS}")
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
