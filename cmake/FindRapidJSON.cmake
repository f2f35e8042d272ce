# RapidJSON, header-only, as the imported target RapidJSON::RapidJSON.
#
# Debian's rapidjson-dev installs into /usr/include, among the build
# machine's own headers, which must not reach the cross compiler's include
# path: they would shadow MinGW's. The target therefore exposes a folder of
# its own in the build tree that holds only a link to the rapidjson headers.
find_path(RapidJSON_HOST_INCLUDE_DIR rapidjson/document.h
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH)
mark_as_advanced(RapidJSON_HOST_INCLUDE_DIR)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(RapidJSON REQUIRED_VARS RapidJSON_HOST_INCLUDE_DIR)

if(RapidJSON_FOUND AND NOT TARGET RapidJSON::RapidJSON)
  set(RapidJSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/third_party/rapidjson/include)
  file(MAKE_DIRECTORY ${RapidJSON_INCLUDE_DIR})
  file(CREATE_LINK ${RapidJSON_HOST_INCLUDE_DIR}/rapidjson ${RapidJSON_INCLUDE_DIR}/rapidjson SYMBOLIC)
  # Imported include folders are system folders: RapidJSON's own warnings
  # stay out of -Werror.
  add_library(RapidJSON::RapidJSON INTERFACE IMPORTED)
  set_target_properties(RapidJSON::RapidJSON PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${RapidJSON_INCLUDE_DIR})
endif()
