# nlohmann_json for minihost. It is header-only, so a cross build may share the
# build machine's copy; but the package's config names all of /usr/include,
# whose C library headers must never reach a cross compiler. There a target is
# made that sees only the nlohmann folder, through a link in the build tree.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json REQUIRED)
  return()
endif()
if(TARGET nlohmann_json::nlohmann_json)
  return()
endif()
find_path(TAVI_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
  PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT TAVI_NLOHMANN_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found (install Debian's nlohmann-json3-dev)")
endif()
set(_tavi_json_shim ${CMAKE_BINARY_DIR}/nlohmann_json_include)
file(MAKE_DIRECTORY ${_tavi_json_shim})
file(CREATE_LINK ${TAVI_NLOHMANN_JSON_INCLUDE}/nlohmann ${_tavi_json_shim}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${_tavi_json_shim})
