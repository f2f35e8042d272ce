# Run by CTest as `cmake -P`: installs the build tree into a scratch prefix,
# checks the layout, builds tests/package/consumer against it through
# find_package, runs the consumer under Wine, and checks the cpack ZIP.
cmake_minimum_required(VERSION 3.21)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "command failed (${status}): ${ARGN}\n${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

# Layout.
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(expected_files
  bin/Pelorin.dll bin/Orlix.dll bin/pelorinctl.exe include/Pelorin.h lib/Pelorin.lib
  lib/cmake/Pelorin/PelorinConfig.cmake lib/cmake/Pelorin/PelorinConfigVersion.cmake
  lib/cmake/Pelorin/PelorinTargets.cmake README.md)
foreach(file IN LISTS expected_files)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install lacks ${file}")
  endif()
endforeach()
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(file IN LISTS installed)
  if(file MATCHES "test|gtest|gmock|double|PelorinCore")
    message(FATAL_ERROR "the install holds build-only file ${file}")
  endif()
endforeach()
file(STRINGS ${prefix}/lib/cmake/Pelorin/PelorinConfigVersion.cmake version_line
  REGEX "set\\(PACKAGE_VERSION \"${VERSION}\"\\)")
if(NOT version_line)
  message(FATAL_ERROR "PelorinConfigVersion.cmake does not state version ${VERSION}")
endif()

# The installed tool names the library's version (read from the DLL's version
# resource) and the commit and the date it was built from.
set(ENV{TZ} UTC)
run(git -C ${SOURCE_DIR} log -1 --format=%H,%cd --date=format-local:%Y-%m-%dT%H:%M:%SZ)
string(REGEX REPLACE "^([0-9a-f]+),([^\n]+)\n$" "\\1;\\2" head "${run_output}")
list(GET head 0 commit)
list(GET head 1 date)
run(${WINE_RUN} ${prefix}/bin/pelorinctl.exe --version)
set(expected "Pelorin.dll ${VERSION}\npelorinctl ${VERSION}, commit ${commit}, built ${date}\n")
if(NOT run_output STREQUAL expected)
  message(FATAL_ERROR "pelorinctl --version printed\n${run_output}instead of\n${expected}")
endif()

# A host's build, with the same toolchain. The cross toolchain confines
# package searches to its sysroot, so the package folder is named directly.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
  -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
  -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
  -DCMAKE_BUILD_TYPE=Release
  -DPelorin_DIR=${prefix}/lib/cmake/Pelorin)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
set(consumer ${WORK_DIR}/consumer/consumer.exe)
foreach(dll Pelorin.dll Orlix.dll)
  if(NOT EXISTS ${WORK_DIR}/consumer/${dll})
    message(FATAL_ERROR "PELORIN_RUNTIME_DLLS did not bring ${dll} beside the consumer")
  endif()
endforeach()

# The consumer under Wine: first without a Firefox registration, then with
# one pointing at a scratch folder (a Z: path, as Wine maps the Linux root).
set(browser_key "HKLM\\SOFTWARE\\WOW6432Node\\Clients\\StartMenuInternet\\FIREFOX.EXE")
execute_process(COMMAND ${WINE_RUN} reg delete ${browser_key} /f OUTPUT_QUIET ERROR_QUIET)
run(${WINE_RUN} ${consumer})

set(firefox_dir "${WORK_DIR}/firefox/Mozilla Firefox")
file(MAKE_DIRECTORY ${firefox_dir})
string(REPLACE "/" "\\" firefox_windows_dir "Z:${firefox_dir}")
run(${WINE_RUN} reg add "${browser_key}\\shell\\open\\command" /ve /d "\"${firefox_windows_dir}\\firefox.exe\"" /f)
execute_process(COMMAND ${WINE_RUN} ${consumer} ${firefox_windows_dir}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
execute_process(COMMAND ${WINE_RUN} reg delete ${browser_key} /f OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "consumer with Firefox registered failed (${status}):\n${output}")
endif()
message(STATUS "${output}")

# The ZIP.
run(${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/cpack)
set(zip ${WORK_DIR}/cpack/Pelorin-${VERSION}-win64.zip)
if(NOT EXISTS ${zip})
  message(FATAL_ERROR "cpack did not make ${zip}")
endif()
run(${CMAKE_COMMAND} -E tar tf ${zip})
foreach(file IN LISTS expected_files)
  string(FIND "${run_output}" "Pelorin-${VERSION}-win64/${file}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the ZIP lacks Pelorin-${VERSION}-win64/${file}:\n${run_output}")
  endif()
endforeach()
