# GoogleTest is built from Debian's sources with this build's own compiler and
# flags, so that the 32-bit and cross builds get a matching library.
set(TAVI_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${TAVI_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${TAVI_GOOGLETEST_SOURCE} "
                      "(install Debian's googletest package)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
# Their sources are not ours to hold to our warning level.
set(_tavi_saved_options "${CMAKE_CXX_FLAGS}")
add_subdirectory(${TAVI_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(t gtest gtest_main gmock gmock_main)
  if(TARGET ${t})
    target_compile_options(${t} PRIVATE -Wno-error)
  endif()
endforeach()
include(GoogleTest)
