# The language support of an MSVC-ABI build with clang-cl on Wine's headers and libraries
# (cmake/clang-cl-i686.cmake for x86, clang-cl-x86_64.cmake for x64, which name this file
# VPE_CLANG_CL_SUPPORT), which Visual Studio's runtime would otherwise give: the library
# vpe_cxx_support and the import library of msvcrt.dll's C++ entry points. Never for a Visual
# Studio build.
#
# include(VpeClangClSupport.cmake) defines the targets (once: a second include, say by the
# engine SDK's package in a project that included it already, changes nothing). A program or
# library that links vpe_cxx_support gets the support and the entry point of its kind, which runs
# its static constructors. vpe_clang_cl_support_all() links it into every program and library
# defined below the current source folder (call it once, anywhere: it acts at the end of the
# configuration, when every target exists).
if(CMAKE_VERSION VERSION_LESS 3.19)
  message(FATAL_ERROR "The clang-cl language support needs CMake 3.19 or later")
endif()
set(VPE_CLANG_CL_SUPPORT_DIR ${CMAKE_CURRENT_LIST_DIR})
if(TARGET vpe_cxx_support)
  return()
endif()
find_program(VPE_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)

# msvcrt.dll's C++ entry points carry the decorations of the machine type the project builds for.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_vpeCxxDef ${VPE_CLANG_CL_SUPPORT_DIR}/msvcrt_cxx_x64.def)
  set(_vpeDlltoolMachine i386:x86-64)
else()
  set(_vpeCxxDef ${VPE_CLANG_CL_SUPPORT_DIR}/msvcrt_cxx.def)
  set(_vpeDlltoolMachine i386)
endif()
set(_vpeImplib ${CMAKE_BINARY_DIR}/clang-cl-support/msvcrt_cxx.lib)
add_custom_command(OUTPUT ${_vpeImplib}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/clang-cl-support
  COMMAND ${VPE_LLVM_DLLTOOL} -m ${_vpeDlltoolMachine} -d ${_vpeCxxDef} -l ${_vpeImplib}
  DEPENDS ${_vpeCxxDef}
  COMMENT "Import library of msvcrt.dll's C++ entry points")
add_custom_target(vpe_msvcrt_cxx_implib DEPENDS ${_vpeImplib})

add_library(vpe_cxx_support STATIC
  ${VPE_CLANG_CL_SUPPORT_DIR}/vpe_cxx_support.cpp
  ${VPE_CLANG_CL_SUPPORT_DIR}/vpe_static_objects.cpp
  ${VPE_CLANG_CL_SUPPORT_DIR}/vpe_program_startup.cpp
  ${VPE_CLANG_CL_SUPPORT_DIR}/vpe_library_startup.cpp
  ${VPE_CLANG_CL_SUPPORT_DIR}/vpe_tls_support.cpp
)
target_include_directories(vpe_cxx_support PUBLIC ${VPE_CLANG_CL_SUPPORT_DIR})
target_link_libraries(vpe_cxx_support PUBLIC ${_vpeImplib})
add_dependencies(vpe_cxx_support vpe_msvcrt_cxx_implib)
# Wine's libraries have no entry point that runs static constructors (Visual Studio's static
# runtime does that): each program and library of this build starts in one of the support's.
set(_vpeModuleType $<TARGET_PROPERTY:TYPE>)
target_link_options(vpe_cxx_support INTERFACE
  $<$<STREQUAL:${_vpeModuleType},EXECUTABLE>:/entry:VpeProgramStartup>
  $<$<STREQUAL:${_vpeModuleType},SHARED_LIBRARY>:/entry:VpeLibraryStartup>
  $<$<STREQUAL:${_vpeModuleType},MODULE_LIBRARY>:/entry:VpeLibraryStartup>)

function(_vpe_clang_cl_attach folder)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      target_link_libraries(${target} PRIVATE vpe_cxx_support)
    endif()
  endforeach()
  get_property(folders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS folders)
    _vpe_clang_cl_attach(${sub})
  endforeach()
endfunction()

function(vpe_clang_cl_support_all)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL _vpe_clang_cl_attach
                 ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()
