# Builds of the same tree for another C++ ABI or machine type, made as a part of this one (build/
# msvc, build/x64, build/msvc-x64): each is configured with a toolchain file into a folder of its
# own and built with every build of this tree. A sub-build makes no sub-builds of its own
# (VPE_SUB_BUILD).
include(ExternalProject)

# vpe_add_sub_build(<target> DIR <folder> TOOLCHAIN <file> [WATCH <file>...] [ARGS <arg>...]
#                   [TARGETS <target>...]): the ExternalProject <target> that configures the tree
# into <folder> with the toolchain file and the cache arguments ARGS, and builds it (only TARGETS
# when given) with every build of this tree. A cache keeps the flags its first configure took from
# the toolchain: when the toolchain file or one of WATCH (the files it includes) changes, the
# folder is configured afresh instead of building with old flags.
function(vpe_add_sub_build target)
  cmake_parse_arguments(ARG "" "DIR;TOOLCHAIN" "WATCH;ARGS;TARGETS" ${ARGN})
  set(print "")
  foreach(file IN LISTS ARG_TOOLCHAIN ARG_WATCH)
    file(SHA256 ${file} hash)
    string(APPEND print "${hash}\n")
  endforeach()
  string(SHA256 print "${print}")
  set(stamp ${ARG_DIR}/.vpe-toolchain)
  if(EXISTS ${stamp})
    file(READ ${stamp} oldPrint)
    if(NOT oldPrint STREQUAL print)
      message(STATUS "${target}: the toolchain changed, ${ARG_DIR} is configured afresh")
      file(REMOVE ${ARG_DIR}/CMakeCache.txt)
      file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/${target}-prefix)
    endif()
  endif()
  file(MAKE_DIRECTORY ${ARG_DIR})
  file(WRITE ${stamp} "${print}")
  set(build "")
  if(ARG_TARGETS)
    if(CMAKE_GENERATOR MATCHES "Makefiles")
      # $(MAKE) shares this build's job slots with the sub-build.
      set(build BUILD_COMMAND $(MAKE) ${ARG_TARGETS})
    else()
      set(build BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${ARG_TARGETS})
    endif()
  endif()
  ExternalProject_Add(${target}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${ARG_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${ARG_TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release
               -DVPE_SUB_BUILD=ON ${ARG_ARGS}
    ${build}
    INSTALL_COMMAND ""
    BUILD_ALWAYS TRUE
    USES_TERMINAL_BUILD TRUE)
endfunction()
