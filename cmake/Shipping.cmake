# What the shipped binaries (Pelorin.dll, Orlix.dll, pelorinctl.exe) are
# built with, so that the ordinary build makes the very bytes a release
# ships:
#   - a stack protector and fortified C library calls (pelorin_hardening);
#   - no path of the build machine and no time stamp in any object or image:
#     the same commit built in any folder gives the same bytes;
#   - a build id, and the DWARF debug information moved out into
#     <binary>.debug beside the binary, which the binary names through
#     .gnu_debuglink;
#   - a link map, from which scripts/sbom reads what was linked in.

# The build folder is mapped after the source folder: GCC tries the last map
# first, and the build folder may lie inside the source folder.
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
add_link_options(-Wl,--no-insert-timestamp -Wl,--build-id)

# MinGW-w64 fortifies only levels 1 and 2; both need libssp, which the
# stack protector's link flag brings in (statically, with -static).
add_library(pelorin_hardening INTERFACE)
target_compile_options(pelorin_hardening INTERFACE -fstack-protector-strong)
target_compile_definitions(pelorin_hardening INTERFACE _FORTIFY_SOURCE=2)
target_link_options(pelorin_hardening INTERFACE -fstack-protector-strong)

set(PELORIN_MAP_DIR ${PROJECT_BINARY_DIR}/maps)
file(MAKE_DIRECTORY ${PELORIN_MAP_DIR})

# The commit and the build date the binaries carry, rewritten by every build
# but touched only when they change.
set(PELORIN_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
add_custom_target(pelorin_build_info
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUT_DIR=${PELORIN_GENERATED_DIR}
    -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/BuildInfo.cmake
  BYPRODUCTS ${PELORIN_GENERATED_DIR}/BuildInfo.h ${PELORIN_GENERATED_DIR}/build-info.json
  VERBATIM)

function(pelorin_ship target)
  target_link_libraries(${target} PRIVATE pelorin_hardening)
  target_link_options(${target} PRIVATE "-Wl,-Map=${PELORIN_MAP_DIR}/$<TARGET_FILE_NAME:${target}>.map")
  # objcopy stamps a PE image with the time of the copy, or with
  # SOURCE_DATE_EPOCH when that is set: 0 keeps the linker's empty stamp.
  set(binary $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
      ${CMAKE_OBJCOPY} --only-keep-debug ${binary} ${binary}.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
      ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${binary}.debug ${binary}
    VERBATIM)
endfunction()
