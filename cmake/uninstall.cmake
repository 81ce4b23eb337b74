# Removes every file that the last `cmake --install` of this build wrote, as listed in
# install_manifest.txt (run as `cmake -P uninstall.cmake` in the build folder). Folders are
# left: they may hold other programs' files.
set(_manifest "${CMAKE_BINARY_DIR}/install_manifest.txt")
if(DEFINED MANIFEST)
  set(_manifest "${MANIFEST}")
endif()
if(NOT EXISTS "${_manifest}")
  message(FATAL_ERROR "${_manifest} not found: nothing was installed from this build")
endif()
file(STRINGS "${_manifest}" _files)
foreach(_file IN LISTS _files)
  if(IS_SYMLINK "${_file}" OR EXISTS "${_file}")
    message(STATUS "Removing: ${_file}")
    file(REMOVE "${_file}")
  endif()
endforeach()
