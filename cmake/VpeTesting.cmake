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

# vpe_add_tests(<name> <sources>... LIBS <libs>...): a GoogleTest program in build/tests whose
# tests are listed at test time (running a Windows program at build time would need Wine there).
# Extra ctest properties for every test of the program: PROPERTIES <name> <value>...
function(vpe_add_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VPE_TEST_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       WORKING_DIRECTORY ${VPE_TEST_DIR} PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
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
if(CMAKE_HOST_UNIX)
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
