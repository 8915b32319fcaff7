# The install tree and its ZIP:
#   bin/        vpetest.exe, vpedrive.exe and the reference vpe.dll (install rules in their folders)
#   sdk/include the engine interface and the headers it needs; sdk/lib the one static library
#   sdk/lib/cmake/VeilpathEngineSdk  the package config: find_package(VeilpathEngineSdk 1.0)
#   sdk/template a stand-alone engine project to copy; README.md and its screenshot
include(CMakePackageConfigHelpers)

set(VPE_SDK_CONFIG_DIR sdk/lib/cmake/VeilpathEngineSdk)
# What the package accepts: an engine is ABI-bound to the harness (virtual table layout, RTTI,
# CWideString returned by value), so the compiler family and the bitness must match this build.
if(MSVC)
  set(VPE_SDK_COMPILER_FAMILY MSVC)
  set(VPE_SDK_COMPILER_HINT "Visual Studio (MSVC), platform Win32 (cmake -A Win32)")
else()
  set(VPE_SDK_COMPILER_FAMILY MinGW)
  set(VPE_SDK_COMPILER_HINT
      "MinGW-w64 for i686 (i686-w64-mingw32-g++, for example the MSYS2 MINGW32 shell)")
endif()
math(EXPR VPE_SDK_POINTER_BITS "${CMAKE_SIZEOF_VOID_P} * 8")

install(EXPORT VeilpathEngineSdkTargets NAMESPACE Veilpath:: DESTINATION ${VPE_SDK_CONFIG_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeilpathEngineSdkConfig.cmake.in
  ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfig.cmake INSTALL_DESTINATION ${VPE_SDK_CONFIG_DIR})
# Bitness is checked by the config itself (ARCH_INDEPENDENT), which can say what is needed.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfig.cmake
              ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfigVersion.cmake
        DESTINATION ${VPE_SDK_CONFIG_DIR})

install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/docs/screenshot.png DESTINATION docs)

# cpack (or ./package.sh) makes build/EngineVeilpathTestEnv-<version>-win32.zip.
# It packs what is built (package.sh builds first) rather than building everything again, so the
# package check can run beside other builds of the same tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR ${VPE_COMPANY_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(VPE_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_FILE_NAME ${VPE_PACKAGE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
