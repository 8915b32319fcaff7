# GoogleTest built from source for the target, and helpers for the project's test programs.
if(NOT VPE_GTEST_SOURCE)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    set(VPE_GTEST_SOURCE /usr/src/googletest)
  else()
    message(FATAL_ERROR "Set VPE_GTEST_SOURCE to a GoogleTest source tree")
  endif()
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${VPE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

# A build for another machine type (build/x64, cmake/VpeX64Builds.cmake) has no ctest of its own.
# With VPE_SUITE set (its name, "x64"), the test programs of the harness's own layers and of the
# check helper (VPE_SUITE_FOLDERS; tools/ is x86 only: vpedrive stays a 32-bit program, and its
# x86 tests drive the x64 programs from the 64-bit prefix) each run whole as one test
# "<suite>.<program>" of the top build's ctest, which reads the list this build writes to
# ${CMAKE_BINARY_DIR}/vpe-suite.cmake. They run in the 64-bit prefix VPE_SUITE_PREFIX, and their
# resource locks carry VPE_SUITE_LOCK_SUFFIX (that prefix's machine-wide state is its own). The
# target vpe_suite builds every program listed.
set(VPE_SUITE_FOLDERS base config diag engine app refengine res check)
if(VPE_SUITE)
  set(VPE_SUITE_FILE ${CMAKE_BINARY_DIR}/vpe-suite.cmake)
  file(WRITE ${VPE_SUITE_FILE} "# The ${VPE_SUITE} build's test programs, run by the top build's ctest\n")
  add_custom_target(vpe_suite)
endif()

# vpe_add_suite_run(<program> <test name> [LOCKS <lock>...] [ENVIRONMENT <NAME=value>...]): the
# whole test program <program> of build/tests as one test of the top build's ctest.
function(vpe_add_suite_run target name)
  cmake_parse_arguments(ARG "" "" "LOCKS;ENVIRONMENT" ${ARGN})
  # A suite's programs are x64 ones: the 64-bit prefix.
  set(environment WINEPREFIX=${VPE_SUITE_PREFIX} WINEARCH=win64 ${ARG_ENVIRONMENT})
  set(properties "WORKING_DIRECTORY \"${VPE_TEST_DIR}\" TIMEOUT 600 ENVIRONMENT \"${environment}\"")
  if(ARG_LOCKS)
    list(TRANSFORM ARG_LOCKS APPEND "${VPE_SUITE_LOCK_SUFFIX}")
    string(APPEND properties " RESOURCE_LOCK \"${ARG_LOCKS}\"")
  endif()
  file(APPEND ${VPE_SUITE_FILE}
       "add_test(${name} \"${CMAKE_SOURCE_DIR}/cmake/wine-run.sh\" "
       "\"${VPE_TEST_DIR}/${target}${CMAKE_EXECUTABLE_SUFFIX}\")\n"
       "set_tests_properties(${name} PROPERTIES ${properties})\n")
  add_dependencies(vpe_suite ${target})
endfunction()

# vpe_add_tests(<name> <sources>... LIBS <libs>...): a GoogleTest program in build/tests whose
# tests are listed at test time (running a Windows program at build time would need Wine there).
# Extra ctest properties for every test of the program: PROPERTIES <name> <value>... In a
# machine suite the program runs whole (its RESOURCE_LOCK taken along), unless NO_SUITE says its
# folder lists its runs itself.
function(vpe_add_tests name)
  cmake_parse_arguments(ARG "NO_SUITE" "" "LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VPE_TEST_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       WORKING_DIRECTORY ${VPE_TEST_DIR} PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" folder "${folder}")
  if(VPE_SUITE AND NOT ARG_NO_SUITE AND folder IN_LIST VPE_SUITE_FOLDERS)
    set(locks "")
    list(FIND ARG_PROPERTIES RESOURCE_LOCK at)
    if(at GREATER -1)
      math(EXPR at "${at} + 1")
      list(GET ARG_PROPERTIES ${at} locks)
    endif()
    vpe_add_suite_run(${name} ${VPE_SUITE}.${name} LOCKS ${locks})
  endif()
endfunction()

# vpe_add_test_program(<name> [WIN32] <sources>... LIBS <libs>...): a helper program in
# build/tests that tests start, with a wide entry point (wmain or wWinMain).
function(vpe_add_test_program name)
  cmake_parse_arguments(ARG "WIN32" "" "LIBS" ${ARGN})
  if(ARG_WIN32)
    add_executable(${name} WIN32 ${ARG_UNPARSED_ARGUMENTS})
  else()
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VPE_TEST_DIR})
  if(MINGW)
    target_link_options(${name} PRIVATE -municode)
  endif()
endfunction()

# The formatting check runs on the build machine (Linux), not under Wine: every tracked source
# must be as .clang-format says.
if(CMAKE_HOST_UNIX AND NOT VPE_SUB_BUILD)
  add_test(NAME format_check COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-format.sh
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(format_check PROPERTIES TIMEOUT 300)
  # The package set-up's decisions, against fake apt and dpkg tools (never the real ones).
  add_test(NAME install_check COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/tests/install_test.sh)
  set_tests_properties(install_check PROPERTIES TIMEOUT 120)
  # run.sh's verdict on its tour of the harness.
  add_test(NAME tour_check COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/tests/tour_test.sh)
  set_tests_properties(tour_check PROPERTIES TIMEOUT 60)
endif()

# Every relative link and anchor of README.md and docs/*.md resolves (a CMake script, so it runs
# wherever CMake does); the check itself against small trees with known broken links.
add_test(NAME doc_links
         COMMAND ${CMAKE_COMMAND} -DVPE_ROOT=${CMAKE_SOURCE_DIR}
                 -P ${CMAKE_SOURCE_DIR}/scripts/tests/doc_links_test.cmake)
add_test(NAME doc_links_selftest
         COMMAND ${CMAKE_COMMAND} -DVPE_WORK=${CMAKE_BINARY_DIR}/doc-links-selftest
                 -P ${CMAKE_SOURCE_DIR}/scripts/tests/doc_links_selftest.cmake)
set_tests_properties(doc_links doc_links_selftest PROPERTIES TIMEOUT 60)
