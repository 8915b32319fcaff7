# The x64 builds of the same sources beside the x86 ones, as parts of this build (configured and
# built with it, cmake/VpeSubBuild.cmake):
#   build/x64/       MinGW-w64 x86_64 (the GCC ABI, cmake/mingw-x86_64.cmake), with the standard
#                    library and GoogleTest as in this build; it builds what its suite needs
#   build/msvc-x64/  clang-cl for x86_64 on Wine's amd64 import libraries (the MSVC ABI,
#                    cmake/clang-cl-x86_64.cmake), no standard library, as build/msvc
# Their programs run under wine64 in the 64-bit prefix build/wineprefix64 (WINEARCH=win64, made
# by scripts/env.sh as the 32-bit one is; 32-bit programs run in it too): the test programs of
# the harness's layers as x64.<program> (listed by build/x64 itself, cmake/VpeTesting.cmake), the
# end-to-end suite against both x64 harnesses, and the tests below.
find_program(VPE_MINGW_X64_FOUND NAMES x86_64-w64-mingw32-g++-posix)
vpe_find_wine_dev_root(_vpeWineRoot64 amd64)
set(VPE_PREFIX64 ${CMAKE_BINARY_DIR}/wineprefix64)
# The locks of tests that change machine-wide state of the 64-bit prefix: its own, not the 32-bit
# prefix's (developer_settings@wineprefix64, ...).
set(VPE_PREFIX64_LOCK_SUFFIX "@wineprefix64")
set(VPE_X64_DIR ${CMAKE_BINARY_DIR}/x64)
set(VPE_MSVC_X64_DIR ${CMAKE_BINARY_DIR}/msvc-x64)

if(VPE_MINGW_X64_FOUND)
  set(_vpeX64Default ON)
else()
  set(_vpeX64Default OFF)
endif()
option(VPE_X64_BUILD "Build the x64 GCC-ABI harness, engines and tests into build/x64"
       ${_vpeX64Default})
set(_vpeMsvcMissing64 ${VPE_CLANG_CL_MISSING})
if(_vpeWineRoot64 STREQUAL "")
  list(APPEND _vpeMsvcMissing64
       "Wine's development files (libwine-dev:amd64, or VPE_WINE_DEV_ROOT_AMD64)")
endif()
if(_vpeMsvcMissing64)
  set(_vpeMsvcX64Default OFF)
else()
  set(_vpeMsvcX64Default ON)
endif()
option(VPE_MSVC_X64_BUILD "Build the x64 MSVC-ABI harness and engines into build/msvc-x64"
       ${_vpeMsvcX64Default})

if(VPE_MSVC_X64_BUILD)
  message(STATUS "x64 MSVC-ABI build: on, into ${VPE_MSVC_X64_DIR} (Wine's files: "
                 "${_vpeWineRoot64})")
  vpe_add_sub_build(vpe_msvc_x64 DIR ${VPE_MSVC_X64_DIR}
    TOOLCHAIN ${CMAKE_SOURCE_DIR}/cmake/clang-cl-x86_64.cmake WATCH ${VPE_CLANG_CL_TOOLCHAIN_FILES}
    ARGS -DVPE_WINE_DEV_ROOT_AMD64=${_vpeWineRoot64})
  # The release's bin-x64/: for engines built with Visual Studio for x64 (-A x64) or clang-cl.
  install(PROGRAMS ${VPE_MSVC_X64_DIR}/bin/vpetest.exe ${VPE_MSVC_X64_DIR}/bin/vpecheck.exe
                   ${VPE_MSVC_X64_DIR}/bin/vpe.dll DESTINATION bin-x64)
elseif(_vpeMsvcMissing64)
  message(WARNING "x64 MSVC-ABI build: OFF, missing ${_vpeMsvcMissing64}: build/msvc-x64 is not "
                  "built and its tests are not registered")
else()
  message(WARNING "x64 MSVC-ABI build: OFF (VPE_MSVC_X64_BUILD): build/msvc-x64 is not built")
endif()

if(VPE_X64_BUILD)
  message(STATUS "x64 GCC-ABI build: on, into ${VPE_X64_DIR}")
  set(_vpeSuiteArgs -DVPE_SUITE=x64 -DVPE_SUITE_PREFIX=${VPE_PREFIX64}
                    -DVPE_SUITE_LOCK_SUFFIX=${VPE_PREFIX64_LOCK_SUFFIX})
  if(VPE_MSVC_X64_BUILD)
    list(APPEND _vpeSuiteArgs -DVPE_SUITE_MSVC_DIR=${VPE_MSVC_X64_DIR})
  endif()
  if(VPE_GTEST_SOURCE)
    list(APPEND _vpeSuiteArgs -DVPE_GTEST_SOURCE=${VPE_GTEST_SOURCE})
  endif()
  vpe_add_sub_build(vpe_x64 DIR ${VPE_X64_DIR}
    TOOLCHAIN ${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
    ARGS ${_vpeSuiteArgs}
    TARGETS vpe_suite)
  # The release's bin-x64-mingw/: for engines built with MinGW-w64 x86_64.
  install(PROGRAMS ${VPE_X64_DIR}/bin/vpetest.exe ${VPE_X64_DIR}/bin/vpecheck.exe
                   ${VPE_X64_DIR}/bin/vpe.dll DESTINATION bin-x64-mingw)
elseif(NOT VPE_MINGW_X64_FOUND)
  message(WARNING "x64 GCC-ABI build: OFF, missing the MinGW-w64 x86_64 compiler "
                  "(g++-mingw-w64-x86-64-posix): build/x64 is not built and its tests are not "
                  "registered")
else()
  message(WARNING "x64 GCC-ABI build: OFF (VPE_X64_BUILD): build/x64 is not built")
endif()
if(NOT VPE_X64_BUILD OR NOT VPE_MSVC_X64_BUILD)
  install(CODE "message(FATAL_ERROR \"The release's bin-x64/ and bin-x64-mingw/ are the x64 \"
                                    \"builds, and one is off (VPE_X64_BUILD, VPE_MSVC_X64_BUILD): \"
                                    \"the install stops incomplete\")")
endif()

if(NOT VPE_BUILD_TESTS)
  return()
endif()

# build/x64's test programs, listed by that build when it is configured (the list exists once it
# has been built, before any test runs).
if(VPE_X64_BUILD)
  set(_vpeSuiteInclude ${CMAKE_BINARY_DIR}/x64-suite-tests.cmake)
  file(WRITE ${_vpeSuiteInclude}
       "if(EXISTS \"${VPE_X64_DIR}/vpe-suite.cmake\")\n"
       "  include(\"${VPE_X64_DIR}/vpe-suite.cmake\")\n"
       "else()\n"
       "  add_test(x64.suite_not_built \"${CMAKE_COMMAND}\" -E false)\n"
       "endif()\n")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${_vpeSuiteInclude})
endif()

# vpe_add_prefix64_test(<name> <command>... [LOCKS <lock>...]): a test that runs in the 64-bit
# prefix, holding the named locks of that prefix.
function(vpe_add_prefix64_test name)
  cmake_parse_arguments(ARG "" "" "LOCKS" ${ARGN})
  add_test(NAME ${name} COMMAND ${ARG_UNPARSED_ARGUMENTS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300
                       ENVIRONMENT "WINEPREFIX=${VPE_PREFIX64};WINEARCH=win64")
  if(ARG_LOCKS)
    list(TRANSFORM ARG_LOCKS APPEND "${VPE_PREFIX64_LOCK_SUFFIX}")
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
  endif()
endfunction()

# Each harness with the engines of the other ABI and of the other machine type, through vpedrive
# run (the x86 one) in the 64-bit prefix, where programs of both machine types run: an engine
# binds only in a harness of its ABI and machine type. Another ABI is refused as the wrong type
# ("engineDLL.Init returned 1"), another machine type by the system's loader ("... returned 20");
# exit code 1 either way, no crash.
if(VPE_X64_BUILD AND VPE_MSVC_X64_BUILD AND VPE_MSVC_ABI_BUILD)
  set(_vpeHarness_x86_gcc $<TARGET_FILE:vpetest>)
  set(_vpeEngine_x86_gcc $<TARGET_FILE:vpe>)
  set(_vpeHarness_x86_msvc ${VPE_MSVC_DIR}/bin/vpetest.exe)
  set(_vpeEngine_x86_msvc ${VPE_MSVC_DIR}/bin/vpe.dll)
  set(_vpeHarness_x64_gcc ${VPE_X64_DIR}/bin/vpetest.exe)
  set(_vpeEngine_x64_gcc ${VPE_X64_DIR}/bin/vpe.dll)
  set(_vpeHarness_x64_msvc ${VPE_MSVC_X64_DIR}/bin/vpetest.exe)
  set(_vpeEngine_x64_msvc ${VPE_MSVC_X64_DIR}/bin/vpe.dll)
  # harness engine expectation
  set(_vpeMachinePairs
      "x64_gcc|x64_gcc|bound" "x64_msvc|x64_msvc|bound"
      "x64_gcc|x64_msvc|refused" "x64_msvc|x64_gcc|refused"
      "x86_gcc|x64_gcc|foreign-machine" "x86_msvc|x64_msvc|foreign-machine"
      "x64_gcc|x86_gcc|foreign-machine" "x64_msvc|x86_msvc|foreign-machine")
  foreach(pair IN LISTS _vpeMachinePairs)
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 harness)
    list(GET pair 1 engine)
    list(GET pair 2 expect)
    set(name abi_${harness}_harness_${engine}_engine)
    vpe_add_prefix64_test(${name}
      bash ${CMAKE_SOURCE_DIR}/engine/abi_binding_test.sh $<TARGET_FILE:vpedrive>
           ${_vpeHarness_${harness}} ${_vpeEngine_${engine}} ${expect}
           ${CMAKE_BINARY_DIR}/abi-check/${name}
      LOCKS developer_settings program_files_log)
  endforeach()

  # Under 64-bit Windows the Program Files folder of a 32-bit program is "Program Files (x86)",
  # that of a 64-bit one "Program Files": the fake check of each harness writes its log there.
  vpe_add_prefix64_test(check_log_folder_by_machine
    bash ${CMAKE_SOURCE_DIR}/engine/check_log_machines_test.sh ${CMAKE_BINARY_DIR}/check-log-machines
         ${_vpeHarness_x86_gcc} ${_vpeHarness_x86_msvc} -- ${_vpeHarness_x64_gcc}
         ${_vpeHarness_x64_msvc}
    LOCKS developer_settings program_files_log)

  # vpedrive's fault engines built for x64 in both ABIs, each check run by the x64 helper of its
  # ABI: the same statuses and evidence as the x86 table.
  vpe_add_prefix64_test(validate_fault_table_x64
    bash ${CMAKE_SOURCE_DIR}/tools/vpedrive/fault_table_test.sh ${VPE_X64_DIR}/bin/vpecheck.exe
         ${VPE_MSVC_X64_DIR}/bin/vpecheck.exe ${VPE_X64_DIR}/tests/engines
         ${VPE_MSVC_X64_DIR}/tests/engines ${CMAKE_BINARY_DIR}/abi-check/fault_table_x64)
  set_tests_properties(validate_fault_table_x64 PROPERTIES TIMEOUT 600)

  # The value stream between machine types and ABIs: every build writes the same bytes, and
  # each reads what the other machine type wrote, file objects with their folder tree included.
  vpe_add_prefix64_test(value_stream_between_machines
    bash ${CMAKE_SOURCE_DIR}/config/value_stream_machines_test.sh
         ${CMAKE_BINARY_DIR}/stream-machines $<TARGET_FILE:value_stream_probe>
         ${VPE_MSVC_DIR}/tests/value_stream_probe.exe -- ${VPE_X64_DIR}/tests/value_stream_probe.exe
         ${VPE_MSVC_X64_DIR}/tests/value_stream_probe.exe)
endif()
