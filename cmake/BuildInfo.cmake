# Run as `cmake -P` by every build: writes BuildInfo.h (for the binaries) and
# build-info.json (for scripts/package) into OUT_DIR, each only when its
# content changes.
#
# The build date is SOURCE_DATE_EPOCH when it is set, else the commit's own
# date: never the clock, so that a commit rebuilt later gives the same bytes.
# A tree outside git (an unpacked source archive) is commit "unknown".
cmake_minimum_required(VERSION 3.21)

execute_process(COMMAND git -C ${SOURCE_DIR} log -1 "--format=%H %ct"
  RESULT_VARIABLE status OUTPUT_VARIABLE head ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(status EQUAL 0 AND head MATCHES "^([0-9a-f]+) ([0-9]+)$")
  set(commit ${CMAKE_MATCH_1})
  set(commit_epoch ${CMAKE_MATCH_2})
else()
  set(commit unknown)
  set(commit_epoch 0)
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  set(epoch ${commit_epoch})
endif()
# string(TIMESTAMP) reads the time from SOURCE_DATE_EPOCH.
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
string(TIMESTAMP date "%Y-%m-%dT%H:%M:%SZ" UTC)

file(CONFIGURE OUTPUT ${OUT_DIR}/BuildInfo.h CONTENT [[
#pragma once
#define PELORIN_VERSION "@VERSION@"
#define PELORIN_COMMIT "@commit@"
#define PELORIN_BUILD_DATE "@date@"
]] @ONLY)
file(CONFIGURE OUTPUT ${OUT_DIR}/build-info.json CONTENT [[
{"version": "@VERSION@", "commit": "@commit@", "epoch": @epoch@, "date": "@date@"}
]] @ONLY)
