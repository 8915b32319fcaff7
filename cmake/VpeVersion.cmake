# The project's version (project(VERSION) in the top CMakeLists.txt) for the programs:
# a generated header vpe_version.h and a version resource per program.
set(VPE_COMPANY_NAME "Corvinex")
set(VPE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${VPE_GENERATED_DIR}/vpe_version.h @ONLY)

# vpe_add_version_resource(<target> <description>): gives the program or library <target> a
# VERSIONINFO resource (FileVersion, ProductVersion, ProductName, FileDescription,
# OriginalFilename) generated from cmake/version.rc.in.
function(vpe_add_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(VPE_RC_FILE_TYPE VFT_APP)
    set(VPE_RC_FILE_NAME ${name}.exe)
  else()
    set(VPE_RC_FILE_TYPE VFT_DLL)
    set(VPE_RC_FILE_NAME ${name}.dll)
  endif()
  set(VPE_RC_DESCRIPTION "${description}")
  set(VPE_RC_INTERNAL_NAME ${name})
  set(rc ${VPE_GENERATED_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
