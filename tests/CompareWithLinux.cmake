# SPDX-License-Identifier: MIT
# Converts the sample catalogue with the Linux build and with the Windows
# build (under Wine) in two scratch folders, in the handheld's bytes, in
# UTF-8 and as a workbook, and requires the files of both to be the same byte
# for byte.
# Run with cmake -DLINUX_REELPORT=... -DWINDOWS_REELPORT=... -DWINE=...
# -DSAMPLE_DIR=... -DSCRATCH=... -P.
foreach(option "" "--utf8" "--xlsx")
  file(REMOVE_RECURSE "${SCRATCH}")
  foreach(platform linux windows)
    file(COPY "${SAMPLE_DIR}/CinecaseTapes.PDB" "${SAMPLE_DIR}/CinecaseProgs.PDB" DESTINATION "${SCRATCH}/${platform}")
  endforeach()

  execute_process(COMMAND "${LINUX_REELPORT}" ${option} "${SCRATCH}/linux" OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND "${WINE}" "${WINDOWS_REELPORT}" ${option} "Z:${SCRATCH}/windows" OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)

  set(outputs CinecaseTapes.CSV CinecaseProgs.CSV)
  if(option STREQUAL "--xlsx")
    set(outputs Cinecase.xlsx)
  endif()
  foreach(csv ${outputs})
    file(SIZE "${SCRATCH}/linux/${csv}" size)
    if(size EQUAL 0)
      message(FATAL_ERROR "${csv} is empty")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/linux/${csv}" "${SCRATCH}/windows/${csv}"
                    RESULT_VARIABLE differ)
    if(NOT differ EQUAL 0)
      message(FATAL_ERROR "${csv} ${option} differs between the Linux and the Windows build")
    endif()
    message(STATUS "${csv} ${option}: ${size} bytes, the same from both builds")
  endforeach()
endforeach()
