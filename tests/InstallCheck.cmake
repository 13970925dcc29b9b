# SPDX-License-Identifier: MIT
# Installs a build into a scratch folder and checks what it holds: the
# program in bin/ and the man page in section 1, which man renders without a
# single warning. Run with cmake -DBUILD_DIR=... -DSCRATCH=... -DMAN=... -P.
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${SCRATCH}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

foreach(installed bin/reelport share/man/man1/reelport.1)
  if(NOT EXISTS "${SCRATCH}/${installed}")
    message(FATAL_ERROR "the install tree lacks ${installed}")
  endif()
endforeach()

execute_process(COMMAND "${SCRATCH}/bin/reelport" RESULT_VARIABLE status OUTPUT_VARIABLE usage)
if(NOT status EQUAL 1 OR NOT usage MATCHES "^Reelport v 1\\.2")
  message(FATAL_ERROR "the installed program does not show its usage: status ${status}")
endif()

set(ENV{MANWIDTH} 80)
execute_process(COMMAND "${MAN}" --warnings -l "${SCRATCH}/share/man/man1/reelport.1"
                RESULT_VARIABLE status OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "man -l failed (${status}) or warned:\n${warnings}")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" DIAGNOSTICS BUGS "SEE ALSO")
  if(NOT page MATCHES "\n${section}\n")
    message(FATAL_ERROR "the man page has no section ${section}")
  endif()
endforeach()
