# SPDX-License-Identifier: MIT
# Installation and packages. On Linux `cmake --install` puts the program in
# the binary folder and beside it the gzipped man page and the two files
# Debian wants in /usr/share/doc/reelport (copyright, changelog.gz). On
# Windows it puts reelport.exe at the top of the tree, where a user who
# unpacks the zip finds it to drop a folder on, beside README.txt, MANUAL.txt
# and LICENSE.txt with CR LF line ends for Notepad. `cpack` makes a .deb on
# Linux and a .zip for Windows.
#
# These documents are made when CMake configures the build (and again when
# their sources change), so an install needs nothing built but the program.
include(GNUInstallDirs)
# Debian's place for copyright and changelog: the package's name, lower case.
set(REELPORT_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/reelport)

if(WIN32)
  install(TARGETS reelport RUNTIME DESTINATION .)
else()
  install(TARGETS reelport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(REELPORT_DOCS ${PROJECT_BINARY_DIR}/docs)
file(MAKE_DIRECTORY ${REELPORT_DOCS})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/docs/reelport.1 ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG
  ${PROJECT_SOURCE_DIR}/docs/copyright-third-party ${PROJECT_SOURCE_DIR}/third_party/libxlsxwriter/License.txt
  ${PROJECT_SOURCE_DIR}/third_party/zlib/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE REELPORT_LICENSE)

if(WIN32)
  # Writes text with CR LF line ends, whatever the line ends of the source.
  function(reelport_write_crlf path text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${path} "${text}")
  endfunction()

  # README.txt: dropping a folder on the program, then the command prompt,
  # its messages and exit statuses. @PROJECT_VERSION@ in the source is replaced.
  configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.txt ${REELPORT_DOCS}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  reelport_write_crlf(${REELPORT_DOCS}/LICENSE.txt "${REELPORT_LICENSE}")
  # The program and the web page hold libxlsxwriter and zlib, compiled in:
  # their licences travel with them.
  file(READ ${PROJECT_SOURCE_DIR}/third_party/libxlsxwriter/License.txt xlsxLicence)
  file(READ ${PROJECT_SOURCE_DIR}/third_party/zlib/LICENSE zlibLicence)
  reelport_write_crlf(${REELPORT_DOCS}/THIRD-PARTY.txt
"reelport.exe and the web page in web\\ hold two libraries of others, compiled in:
libxlsxwriter 1.1.4, which writes the workbook, and zlib 1.2.13, which it
compresses with. Their licences follow.

== libxlsxwriter ==

${xlsxLicence}
== zlib ==

${zlibLicence}")
  set(REELPORT_WINDOWS_DOCS ${REELPORT_DOCS}/README.txt ${REELPORT_DOCS}/LICENSE.txt ${REELPORT_DOCS}/THIRD-PARTY.txt)

  # MANUAL.txt: the man page rendered as plain ASCII text (no overstriking,
  # no hyphenation), as `man reelport` shows it on Linux.
  find_program(REELPORT_GROFF groff)
  if(REELPORT_GROFF)
    execute_process(COMMAND ${REELPORT_GROFF} -man -Tascii -P-cbou -rHY=0 ${PROJECT_SOURCE_DIR}/docs/reelport.1
                    OUTPUT_VARIABLE manual ERROR_VARIABLE groffErrors RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "groff could not render docs/reelport.1 (${status}):\n${groffErrors}")
    elseif(NOT groffErrors STREQUAL "")
      message(WARNING "groff on docs/reelport.1:\n${groffErrors}")
    endif()
    reelport_write_crlf(${REELPORT_DOCS}/MANUAL.txt "${manual}")
    list(APPEND REELPORT_WINDOWS_DOCS ${REELPORT_DOCS}/MANUAL.txt)
  else()
    message(WARNING "groff not found (Debian: groff-base): the Windows zip is made without MANUAL.txt")
  endif()
  install(FILES ${REELPORT_WINDOWS_DOCS} DESTINATION .)
else()
  # Debian's way: compressed with gzip -9, without the name and time stamp
  # (-n), so the same sources always give the same package.
  find_program(REELPORT_GZIP gzip REQUIRED)
  function(reelport_gzip source target)
    execute_process(COMMAND ${REELPORT_GZIP} -9n -c ${source} OUTPUT_FILE ${target} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip ${source} failed: ${status}")
    endif()
  endfunction()
  reelport_gzip(${PROJECT_SOURCE_DIR}/docs/reelport.1 ${REELPORT_DOCS}/reelport.1.gz)
  # The CHANGELOG is in Debian's changelog format: for a native package it is
  # the package's own changelog.
  reelport_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG ${REELPORT_DOCS}/changelog.gz)

  # The copyright file in Debian's machine-readable format, made from LICENSE
  # so that the licence text has one source. Debian calls the MIT licence of
  # LICENSE "Expat" (there are several MIT licences); its paragraphs are
  # indented by one blank, with " ." for an empty line.
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" match "${REELPORT_LICENSE}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${REELPORT_LICENSE}" "Permission is hereby granted" termsStart)
  if(holder STREQUAL "" OR termsStart LESS 0)
    message(FATAL_ERROR "LICENSE does not hold the MIT licence with its copyright line")
  endif()
  string(SUBSTRING "${REELPORT_LICENSE}" ${termsStart} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  # The web page the package may carry holds libxlsxwriter and zlib, compiled
  # in: their paragraphs stand between ours, the licence of LICENSE last.
  file(READ ${PROJECT_SOURCE_DIR}/docs/copyright-third-party thirdParty)
  file(WRITE ${REELPORT_DOCS}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Reelport
Upstream-Contact: Reelport developers <reelport@example.org>

Files: *
Copyright: ${holder}
License: Expat
Comment: The MIT licence (SPDX identifier MIT) of the file LICENSE.

${thirdParty}
License: Expat
 ${terms}
")

  # A stripped install (cpack's) also drops the compiler's .comment section
  # from the program, as Debian's dh_strip does.
  if(CMAKE_OBJCOPY)
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/reelport\" COMMAND_ERROR_IS_FATAL ANY)
    endif()")
  endif()
  install(FILES ${REELPORT_DOCS}/reelport.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${REELPORT_DOCS}/copyright ${REELPORT_DOCS}/changelog.gz DESTINATION ${REELPORT_INSTALL_DOCDIR})
endif()

# The web page of an emscripten build (docs/web.md) ships with the program
# when the build is told where it is: in share/reelport/web on Linux, in web\
# beside the program's folder in the Windows zip.
set(REELPORT_WEB_PAGE "" CACHE PATH "The page folder of a web build (build-web/reelport-web), installed with the program")
if(REELPORT_WEB_PAGE)
  if(NOT EXISTS "${REELPORT_WEB_PAGE}/index.html" OR NOT EXISTS "${REELPORT_WEB_PAGE}/reelport.js")
    message(FATAL_ERROR "REELPORT_WEB_PAGE: ${REELPORT_WEB_PAGE} holds no built page; build it first (docs/web.md)")
  endif()
  if(WIN32)
    install(DIRECTORY ${REELPORT_WEB_PAGE}/ DESTINATION web)
  else()
    install(DIRECTORY ${REELPORT_WEB_PAGE}/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/reelport/web)
  endif()
endif()

set(CPACK_PACKAGE_NAME reelport)
set(CPACK_PACKAGE_VENDOR "Reelport developers")
set(CPACK_PACKAGE_CONTACT "Reelport developers <reelport@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export a Cinecase video-tape catalogue from a Palm OS backup to CSV or Excel")
# Debian's extended description; CPack indents it and marks the empty line.
set(CPACK_PACKAGE_DESCRIPTION
"The Cinecase application for Palm OS handhelds kept a catalogue of video
tapes in two databases, CinecaseTapes.PDB (the tapes) and CinecaseProgs.PDB
(the programmes recorded on them). reelport reads both from a directory, for
example a copy of a handheld's backup, and writes into the same directory two
CSV files that any spreadsheet opens: one row per tape, and one row per
programme carrying its tape's label. With --salvage it gets back every intact
record of a damaged backup and reports what it had to skip; with --xlsx it
writes one Excel workbook instead, which every spreadsheet opens with its
texts, numbers and dates as they are.

A damaged file, or a database of another application or version, ends the
run with one message and a distinct exit status.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
# Checks at packaging time what the .deb needs (cmake/CPackChecks.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackChecks.cmake)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Finds the libc6 version the program needs (the C++ runtime is linked in); libxlsxwriter,
  # loaded only when a workbook is written, is named here.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxlsxwriter4 (>= 1.1.4)")
endif()
include(CPack)
