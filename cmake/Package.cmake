# Debian packages: `cpack -G DEB` in the build folder makes two.
#   velmora-cli  the terminal program, the message catalogues, the shell
#                completions (no Qt);
#   velmora      the desktop program and its desktop files; depends on
#                velmora-cli for the catalogues.
# A packager sets the maintainer in one cache variable:
#   cmake -DVELMORA_MAINTAINER="Jane Doe <jane@example.org>" ...
set(VELMORA_MAINTAINER "Velmora developers <velmora@localhost>"
    CACHE STRING "Maintainer of the Debian packages: a name and a mail address")

# Each package's documentation folder: the copyright file Debian reads, the
# changelog compressed, and the README and licence.
find_program(GZIP gzip REQUIRED)
set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/CHANGELOG.md
          -DOUTPUT=${PROJECT_BINARY_DIR}/changelog -DVERSION=${PROJECT_VERSION}
          "-DMAINTAINER=${VELMORA_MAINTAINER}"
          -P ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
  COMMAND ${GZIP} -n -9 -f -k ${PROJECT_BINARY_DIR}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          ${PROJECT_SOURCE_DIR}/cmake/DebianChangelog.cmake
  VERBATIM)
add_custom_target(velmora_changelog ALL DEPENDS ${changelog_gz})
foreach(component cli desktop)
  if(component STREQUAL "cli")
    set(package velmora-cli)
  else()
    set(package velmora)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${changelog_gz}
          ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora developers")
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(VELMORA_BUILD_GUI)
  set(CPACK_COMPONENTS_ALL cli desktop)
else()
  set(CPACK_COMPONENTS_ALL cli)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps reads the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME velmora-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "encrypt a directory tree in place with a password (terminal)\n\
velmora-cli encrypts, decrypts or temporarily decrypts every file and\n\
directory below a chosen directory, in place, with a password, from a\n\
terminal or a script. The cipher is kept for compatibility with trees\n\
encrypted earlier; it is not modern cryptography.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION x11)
# The Qt platform plugins and Qt's Japanese translations are loaded at run
# time, so dpkg-shlibdeps does not see them.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS
    "velmora-cli (= ${PROJECT_VERSION}), qt6-qpa-plugins")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "encrypt a directory tree in place with a password (desktop)\n\
Velmora encrypts, decrypts or temporarily decrypts every file and\n\
directory below a chosen directory, in place, with a password, from a\n\
desktop window; a temporary decryption is encrypted again when the window\n\
closes or the session ends. The cipher is kept for compatibility with\n\
trees encrypted earlier; it is not modern cryptography.")
include(CPack)

add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DCMAKE_BINARY_DIR=${PROJECT_BINARY_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
  COMMENT "Removing what cmake --install put in place")
