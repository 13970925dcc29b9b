# SPDX-License-Identifier: MIT
# Installs a build into a scratch folder and checks what it holds: the program
# in bin/, the gzipped man page in section 1, which man renders without a
# warning, Debian's copyright file and changelog.gz in share/doc/reelport, and
# with -DWEB_PAGE=... (the built web page) that page in share/reelport/web.
# Run with cmake -DBUILD_DIR=... -DSCRATCH=... -DMAN=... -DVERSION=... [-DWEB_PAGE=...] -P.
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${SCRATCH}" OUTPUT_QUIET
                COMMAND_ERROR_IS_FATAL ANY)

set(manPage share/man/man1/reelport.1.gz)
set(changelog share/doc/reelport/changelog.gz)
set(copyright share/doc/reelport/copyright)
foreach(installed bin/reelport ${manPage} ${changelog} ${copyright})
  if(NOT EXISTS "${SCRATCH}/${installed}")
    message(FATAL_ERROR "the install tree lacks ${installed}")
  endif()
endforeach()

if(WEB_PAGE)
  file(GLOB pageFiles RELATIVE "${WEB_PAGE}" "${WEB_PAGE}/*")
  foreach(pageFile index.html ${pageFiles})
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WEB_PAGE}/${pageFile}"
                    "${SCRATCH}/share/reelport/web/${pageFile}" RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      message(FATAL_ERROR "share/reelport/web/${pageFile} is missing or not the built page's")
    endif()
  endforeach()
endif()

execute_process(COMMAND "${SCRATCH}/bin/reelport" RESULT_VARIABLE status OUTPUT_VARIABLE usage)
if(NOT status EQUAL 1 OR NOT usage MATCHES "^Reelport v 1\\.2")
  message(FATAL_ERROR "the installed program does not show its usage: status ${status}")
endif()

# Debian's gzip -9n: the header (RFC 1952) stores no file name (flag 0x08
# clear) and no time (bytes 4 to 7 zero), and marks maximum compression
# (extra flags 2), so the package is the same bytes on every build.
foreach(compressed ${manPage} ${changelog})
  file(READ "${SCRATCH}/${compressed}" header LIMIT 10 HEX)
  if(NOT header MATCHES "^1f8b08[0-9a-f][0-7]0000000002")
    message(FATAL_ERROR "${compressed} is not compressed with gzip -9n: header ${header}")
  endif()
endforeach()

# changelog.gz is the package's Debian changelog: its latest entry names this version.
execute_process(COMMAND gzip -dc "${SCRATCH}/${changelog}" OUTPUT_VARIABLE changes RESULT_VARIABLE status)
string(REPLACE "." "\\." versionPattern "${VERSION}")
if(NOT status EQUAL 0 OR NOT changes MATCHES "^reelport \\(${versionPattern}\\) [a-z]+; urgency=")
  message(FATAL_ERROR "changelog.gz does not begin with an entry for version ${VERSION}")
endif()

# The machine-readable copyright file carries the whole licence of LICENSE.
file(READ "${SCRATCH}/${copyright}" copyrightText)
if(NOT copyrightText MATCHES "^Format: https://www\\.debian\\.org/doc/packaging-manuals/copyright-format/1\\.0/\n"
   OR NOT copyrightText MATCHES "\nFiles: \\*\nCopyright: 2026 the Reelport developers\nLicense: Expat\n"
   OR NOT copyrightText MATCHES "\n \\.\n THE SOFTWARE IS PROVIDED \"AS IS\"[^\n]*\n( [^\n]+\n)+$")
  message(FATAL_ERROR "the copyright file is not in Debian's format with the licence:\n${copyrightText}")
endif()

set(ENV{MANWIDTH} 80)
execute_process(COMMAND "${MAN}" --warnings -l "${SCRATCH}/${manPage}"
                RESULT_VARIABLE status OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man -l failed (${status}) or warned:\n${warnings}")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" DIAGNOSTICS BUGS "SEE ALSO")
  if(NOT page MATCHES "\n${section}\n")
    message(FATAL_ERROR "the man page has no section ${section}")
  endif()
endforeach()
