# Wine's development files (package libwine-dev) for the MSVC-ABI builds with clang-cl: its Windows
# and msvcrt headers (the same for every architecture) and its import libraries of one machine
# type, i386 for x86 or amd64 for x64.

# vpe_wine_import_libs(<var> <arch>): the folder of the import libraries (lib<name>.a) of Debian
# architecture <arch> (i386 or amd64) below the root.
function(vpe_wine_import_libs var arch)
  if(arch STREQUAL "amd64")
    set(${var} usr/lib/x86_64-linux-gnu/wine/x86_64-windows PARENT_SCOPE)
  else()
    set(${var} usr/lib/i386-linux-gnu/wine/i386-windows PARENT_SCOPE)
  endif()
endfunction()

# vpe_wine_dev_root_variable(<var> <arch>): the name of the cache or environment variable that
# names the root for <arch>: VPE_WINE_DEV_ROOT (i386) or VPE_WINE_DEV_ROOT_AMD64.
function(vpe_wine_dev_root_variable var arch)
  if(arch STREQUAL "amd64")
    set(${var} VPE_WINE_DEV_ROOT_AMD64 PARENT_SCOPE)
  else()
    set(${var} VPE_WINE_DEV_ROOT PARENT_SCOPE)
  endif()
endfunction()

# vpe_find_wine_dev_root(<var> [<arch>]): the root of Wine's development files of <arch> (i386
# unless given; libwine-dev:<arch>), a folder holding usr/include/wine/wine/windows/windows.h and
# the import libraries of <arch>: the cache or environment variable the previous function names,
# else / when the package is installed, else the newest unpacked copy in $XDG_CACHE_HOME
# (default ~/.cache)/vpe/libwine-dev-*-<arch>. <var> is empty when none is found.
function(vpe_find_wine_dev_root var)
  set(arch i386)
  if(ARGC GREATER 1)
    set(arch ${ARGV1})
  endif()
  vpe_wine_dev_root_variable(variable ${arch})
  vpe_wine_import_libs(libs ${arch})
  set(probes usr/include/wine/wine/windows/windows.h ${libs}/libkernel32.a)
  set(root "")
  if(${variable})
    set(root "${${variable}}")
  elseif(DEFINED ENV{${variable}} AND NOT "$ENV{${variable}}" STREQUAL "")
    set(root "$ENV{${variable}}")
  elseif(EXISTS /${libs}/libkernel32.a AND EXISTS /usr/include/wine/wine/windows/windows.h)
    set(root /)
  else()
    # The folder scripts/install.sh unpacks into.
    set(cache "$ENV{XDG_CACHE_HOME}")
    if(cache STREQUAL "")
      set(cache "$ENV{HOME}/.cache")
    endif()
    file(GLOB candidates "${cache}/vpe/libwine-dev-*-${arch}")
    if(candidates)
      list(SORT candidates COMPARE NATURAL ORDER DESCENDING)
      list(GET candidates 0 root)
    endif()
  endif()
  string(REGEX REPLACE "(.)/+$" "\\1" root "${root}")
  foreach(probe IN LISTS probes)
    if(NOT root STREQUAL "" AND NOT EXISTS "${root}/${probe}")
      set(root "")
    endif()
  endforeach()
  set(${var} "${root}" PARENT_SCOPE)
endfunction()
