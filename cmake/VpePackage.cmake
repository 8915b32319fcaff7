# The install tree and its ZIP, one harness folder per machine type and C++ ABI:
#   bin/            the x86 MSVC-ABI vpetest.exe, vpecheck.exe and reference vpe.dll (from
#                   build/msvc/bin), vpedrive.exe
#   bin-mingw/      the x86 GCC-ABI vpetest.exe, vpecheck.exe and reference vpe.dll (from build/bin)
#   bin-x64/        the x64 MSVC-ABI vpetest.exe, vpecheck.exe and reference vpe.dll (from
#                   build/msvc-x64/bin)
#   bin-x64-mingw/  the x64 GCC-ABI vpetest.exe, vpecheck.exe and reference vpe.dll (from
#                   build/x64/bin)
#   sdk/include  the engine interface and the headers it needs; sdk/src the SDK library's sources
#   sdk/lib/cmake/VeilpathEngineSdk  the package config: find_package(VeilpathEngineSdk 1.0)
#   sdk/clang-cl the clang-cl toolchain files (x86, x64) and their language support (never for
#                Visual Studio)
#   sdk/template a stand-alone engine project to copy
#   README.md and docs/ (the documents it links to, and the screenshot)
include(CMakePackageConfigHelpers)

# The engine SDK (sdk/): headers, the SDK library's sources and a package config that builds them
# with the engine's own compiler, so one package serves Visual Studio, clang-cl and MinGW.
set(VPE_SDK_CONFIG_DIR sdk/lib/cmake/VeilpathEngineSdk)
set(VPE_SDK_INCLUDE_DIR sdk/include)
set(VPE_SDK_SOURCE_DIR sdk/src)
get_target_property(VPE_SDK_SOURCES vpe_sdk_base SOURCES)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeilpathEngineSdkConfig.cmake.in
  ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfig.cmake INSTALL_DESTINATION ${VPE_SDK_CONFIG_DIR}
  PATH_VARS VPE_SDK_INCLUDE_DIR VPE_SDK_SOURCE_DIR)
# Bitness is checked by the config itself (ARCH_INDEPENDENT), which can say what is needed.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfig.cmake
              ${CMAKE_BINARY_DIR}/sdk/VeilpathEngineSdkConfigVersion.cmake
        DESTINATION ${VPE_SDK_CONFIG_DIR})
# What a clang-cl build on Wine's headers needs and Visual Studio's runtime has, apart in
# sdk/clang-cl/: the language support and the toolchain file with what it includes (it finds the
# support beside itself there).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sdk/clang-cl/ DESTINATION sdk/clang-cl)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/clang-cl-i686.cmake
              ${CMAKE_SOURCE_DIR}/cmake/clang-cl-x86_64.cmake
              ${CMAKE_SOURCE_DIR}/cmake/VpeClangClToolchain.cmake
              ${CMAKE_SOURCE_DIR}/cmake/VpeWineDevRoot.cmake
        DESTINATION sdk/clang-cl)

# The x86 harness folders of the release: bin/ the MSVC-ABI harness, check helper and reference
# engine from build/msvc (cmake/VpeMsvcAbiBuild.cmake) with vpedrive.exe, bin-mingw/ the GCC-ABI
# ones of this build; the x64 folders come from cmake/VpeX64Builds.cmake. The sub-builds' trees
# themselves are never installed.
if(NOT VPE_NO_STDLIB)
  install(PROGRAMS $<TARGET_FILE:vpetest> $<TARGET_FILE:vpecheck> $<TARGET_FILE:vpe>
          DESTINATION bin-mingw)
endif()

# The README links into docs/, so the documents travel with it (sdk/tests/package_files.txt lists
# them one by one: a new document is a change of the ZIP).
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md"
        PATTERN "*.png")

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
