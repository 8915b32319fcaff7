# Engine libraries built for the tests, in both ABIs: the GCC-ABI build's tests use them, and the
# MSVC-ABI build makes the ones its harness is tested with from the outside.

# vpe_add_test_engine(<name> <sources>...): an engine library built for the tests, in
# build/tests/engines/<name>/vpe.dll unless OUTPUT_NAME says otherwise.
function(vpe_add_test_engine name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE vpe_sdk ${ARG_LIBS})
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME vpe)
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME}
                        RUNTIME_OUTPUT_DIRECTORY ${VPE_TEST_DIR}/engines/${name})
endfunction()
