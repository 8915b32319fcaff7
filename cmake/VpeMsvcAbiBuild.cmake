# The MSVC-ABI build of the same sources (cmake/clang-cl-i686.cmake) as a part of this one: it is
# configured into build/msvc/ and built with every build of this tree. Its programs land in
# build/msvc/bin/ (vpetest.exe, the reference vpe.dll) and build/msvc/tests/ (its test engines).
include(${CMAKE_CURRENT_LIST_DIR}/VpeSubBuild.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/VpeWineDevRoot.cmake)

find_program(VPE_CLANG_CL_FOUND NAMES clang-cl-14 clang-cl)
find_program(VPE_LLD_LINK_FOUND NAMES lld-link-14 lld-link)
vpe_find_wine_dev_root(_vpeWineRoot i386)
set(_vpeMissing "")
foreach(tool VPE_CLANG_CL_FOUND VPE_LLD_LINK_FOUND)
  if(NOT ${tool})
    string(REGEX REPLACE "VPE_(.*)_FOUND" "\\1" name ${tool})
    string(TOLOWER ${name} name)
    string(REPLACE "_" "-" name ${name})
    list(APPEND _vpeMissing ${name})
  endif()
endforeach()
# What the x64 MSVC-ABI build lacks besides (cmake/VpeX64Builds.cmake).
set(VPE_CLANG_CL_MISSING ${_vpeMissing})
if(_vpeWineRoot STREQUAL "")
  list(APPEND _vpeMissing "Wine's development files (libwine-dev:i386, or VPE_WINE_DEV_ROOT)")
endif()
if(_vpeMissing)
  set(_vpeMsvcDefault OFF)
else()
  set(_vpeMsvcDefault ON)
endif()
option(VPE_MSVC_ABI_BUILD "Build the MSVC-ABI harness and engines into build/msvc" ${_vpeMsvcDefault})

# The toolchain file and what it includes: a change configures the sub-build afresh.
file(GLOB VPE_CLANG_CL_TOOLCHAIN_FILES ${CMAKE_SOURCE_DIR}/cmake/VpeClangClToolchain.cmake
     ${CMAKE_SOURCE_DIR}/cmake/VpeWineDevRoot.cmake ${CMAKE_SOURCE_DIR}/sdk/clang-cl/*.cmake)
set(VPE_MSVC_DIR ${CMAKE_BINARY_DIR}/msvc)
if(VPE_MSVC_ABI_BUILD)
  message(STATUS "MSVC-ABI build: on, into ${VPE_MSVC_DIR} (Wine's files: ${_vpeWineRoot})")
  vpe_add_sub_build(vpe_msvc_abi DIR ${VPE_MSVC_DIR}
    TOOLCHAIN ${CMAKE_SOURCE_DIR}/cmake/clang-cl-i686.cmake WATCH ${VPE_CLANG_CL_TOOLCHAIN_FILES}
    ARGS -DVPE_WINE_DEV_ROOT=${_vpeWineRoot})
  # The release's bin/: what a Visual Studio team drops its vpe.dll beside (this build's pair goes
  # to bin-mingw/, cmake/VpePackage.cmake).
  install(PROGRAMS ${VPE_MSVC_DIR}/bin/vpetest.exe ${VPE_MSVC_DIR}/bin/vpecheck.exe
                   ${VPE_MSVC_DIR}/bin/vpe.dll DESTINATION bin)
elseif(_vpeMissing)
  message(WARNING "MSVC-ABI build: OFF, missing ${_vpeMissing}: build/msvc is not built and its "
                  "tests are not registered")
else()
  message(WARNING "MSVC-ABI build: OFF (VPE_MSVC_ABI_BUILD): build/msvc is not built")
endif()
if(NOT VPE_MSVC_ABI_BUILD)
  install(CODE "message(FATAL_ERROR \"The release's bin/ is the MSVC-ABI build, which is off \"
                                    \"(VPE_MSVC_ABI_BUILD): the install stops incomplete\")")
endif()

# Tests of the MSVC-ABI build from the outside (its own tree configures no tests): the import
# tables, and the harness of each ABI with an engine of each ABI and one without type information.
if(VPE_MSVC_ABI_BUILD AND VPE_BUILD_TESTS)
  set(_vpeMsvcModules ${VPE_MSVC_DIR}/bin/vpetest.exe ${VPE_MSVC_DIR}/bin/vpe.dll
                      ${VPE_MSVC_DIR}/bin/vpecheck.exe
                      ${VPE_MSVC_DIR}/tests/engines/nortti_engine/vpe.dll)
  add_test(NAME msvc_imports COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/msvc_imports_test.sh
                                     ${_vpeMsvcModules})

  set(_vpeGccHarness $<TARGET_FILE:vpetest>)
  set(_vpeGccEngine $<TARGET_FILE:vpe>)
  set(_vpeMsvcHarness ${VPE_MSVC_DIR}/bin/vpetest.exe)
  set(_vpeMsvcEngine ${VPE_MSVC_DIR}/bin/vpe.dll)
  # name harness engine expectation
  set(_vpeAbiPairs
      "abi_msvc_harness_msvc_engine|${_vpeMsvcHarness}|${_vpeMsvcEngine}|bound"
      "abi_msvc_harness_gcc_engine|${_vpeMsvcHarness}|${_vpeGccEngine}|refused"
      "abi_gcc_harness_msvc_engine|${_vpeGccHarness}|${_vpeMsvcEngine}|refused"
      "abi_msvc_harness_nortti_engine|${_vpeMsvcHarness}|${VPE_MSVC_DIR}/tests/engines/nortti_engine/vpe.dll|refused"
      "abi_gcc_harness_nortti_engine|${_vpeGccHarness}|$<TARGET_FILE:nortti_engine>|refused")
  foreach(pair IN LISTS _vpeAbiPairs)
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 name)
    list(GET pair 1 harness)
    list(GET pair 2 engine)
    list(GET pair 3 expect)
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_SOURCE_DIR}/engine/abi_binding_test.sh $<TARGET_FILE:vpedrive>
                     ${harness} ${engine} ${expect} ${CMAKE_BINARY_DIR}/abi-check/${name})
    # vpedrive run switches the developer settings of the prefix; an engine that binds installs
    # into its Program Files folder.
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
                         RESOURCE_LOCK "developer_settings;program_files_log")
  endforeach()

  # The MSVC-ABI helper (check/) with the MSVC-ABI reference engine.
  add_test(NAME msvc_helper_reference_engine
           COMMAND bash ${CMAKE_SOURCE_DIR}/check/msvc_helper_test.sh $<TARGET_FILE:vpedrive>
                   ${VPE_MSVC_DIR}/bin/vpecheck.exe ${_vpeMsvcEngine}
                   ${CMAKE_BINARY_DIR}/abi-check/msvc_helper)
  set_tests_properties(msvc_helper_reference_engine PROPERTIES TIMEOUT 600)

  # vpedrive's fault engines of both ABIs, each judged by the helper of its own ABI.
  add_test(NAME validate_fault_table_both_abis
           COMMAND bash ${CMAKE_SOURCE_DIR}/tools/vpedrive/fault_table_test.sh
                   $<TARGET_FILE:vpecheck> ${VPE_MSVC_DIR}/bin/vpecheck.exe
                   ${VPE_TEST_DIR}/engines ${VPE_MSVC_DIR}/tests/engines
                   ${CMAKE_BINARY_DIR}/abi-check/fault_table)
  set_tests_properties(validate_fault_table_both_abis PROPERTIES TIMEOUT 600)
endif()
