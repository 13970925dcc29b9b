# SPDX-License-Identifier: MIT
# Installation and packages: `cmake --install` puts the program in the binary
# folder and, except on Windows, its man page in section 1; `cpack` makes a
# .deb on Linux and a .zip holding reelport.exe for Windows.
include(GNUInstallDirs)

install(TARGETS reelport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/reelport.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME reelport)
set(CPACK_PACKAGE_VENDOR "Reelport developers")
set(CPACK_PACKAGE_CONTACT "Reelport developers <reelport@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Exports a Cinecase video-tape catalogue from a Palm OS backup to CSV")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Reelport developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Finds the libc6 and libstdc++6 versions the program needs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
