# What `cmake --install` lays out and `cpack` zips:
#   bin/      Pelorin.dll, Orlix.dll (its logging library), pelorinctl.exe
#   include/  Pelorin.h
#   lib/      Pelorin.lib (import library), libOrlix.dll.a, cmake/Pelorin/
#             (find_package files)
#   README.md
include(CMakePackageConfigHelpers)

set(PELORIN_INSTALL_BINDIR bin)
set(PELORIN_INSTALL_CMAKEDIR lib/cmake/Pelorin)

# Orlix goes into the export set too: Pelorin.dll needs it at run time, and
# the imported Pelorin::Orlix tells a host's build where that DLL is.
install(TARGETS Pelorin Orlix EXPORT PelorinTargets
  RUNTIME DESTINATION ${PELORIN_INSTALL_BINDIR}
  ARCHIVE DESTINATION lib)
install(TARGETS pelorinctl RUNTIME DESTINATION ${PELORIN_INSTALL_BINDIR})
# The debug files, split off by pelorin_ship, go into the symbols archive
# only: `cmake --install --component symbols`.
foreach(target Pelorin Orlix pelorinctl)
  install(FILES $<TARGET_FILE:${target}>.debug DESTINATION ${PELORIN_INSTALL_BINDIR}
    COMPONENT symbols EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/include/Pelorin.h DESTINATION include)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

install(EXPORT PelorinTargets NAMESPACE Pelorin:: DESTINATION ${PELORIN_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PelorinConfig.cmake.in
  ${CMAKE_BINARY_DIR}/PelorinConfig.cmake
  INSTALL_DESTINATION ${PELORIN_INSTALL_CMAKEDIR}
  PATH_VARS PELORIN_INSTALL_BINDIR)
# Strings cross the DLL boundary as std::wstring objects, so a host must match
# the major version (and the C++ runtime) it was built against.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/PelorinConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/PelorinConfig.cmake ${CMAKE_BINARY_DIR}/PelorinConfigVersion.cmake
  DESTINATION ${PELORIN_INSTALL_CMAKEDIR})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Pelorin)
set(CPACK_PACKAGE_VENDOR Tervia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Pelorin-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firefox autoconfig control for the endpoint agent")
include(CPack)
