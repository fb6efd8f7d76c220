# find_package(OpenImageIO) for a directory that links it. The Debian package
# names /usr/include/opencv4 among its include folders although OpenCV's
# headers are optional; CMake refuses a missing include folder, so folders
# that do not exist are dropped.
find_package(OpenImageIO CONFIG REQUIRED)
foreach(property INTERFACE_INCLUDE_DIRECTORIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES)
  get_target_property(folders OpenImageIO::OpenImageIO ${property})
  if(folders)
    set(existing "")
    foreach(folder ${folders})
      if(IS_DIRECTORY "${folder}")
        list(APPEND existing "${folder}")
      endif()
    endforeach()
    set_target_properties(OpenImageIO::OpenImageIO PROPERTIES ${property} "${existing}")
  endif()
endforeach()
