# `cmake --build BUILD --target uninstall`: removes every file the last
# `cmake --install` of this build folder put in place (install_manifest.txt),
# and the folders of ours left empty. Folders shared with other programs stay.
set(manifest "${CMAKE_BINARY_DIR}/install_manifest.txt")
if(NOT EXISTS "${manifest}")
  message(FATAL_ERROR "Nothing to uninstall: ${manifest} is missing (install first).")
endif()
file(STRINGS "${manifest}" files)
foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
  get_filename_component(folder "${file}" DIRECTORY)
  get_filename_component(name "${folder}" NAME)
  if(name MATCHES "^velmora(-cli)?$")  # share/doc/velmora, say
    file(GLOB left "${folder}/*")
    if(NOT left)
      file(REMOVE_RECURSE "${folder}")
    endif()
  endif()
endforeach()
file(REMOVE "${manifest}")
