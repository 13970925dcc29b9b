# SPDX-License-Identifier: MIT
# Makes the "small" catalogue and converts it; fails unless both steps end with
# status 0 and the tool reports the 12 tapes and 40 programmes of that shape.
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
execute_process(COMMAND ${EMULATOR} "${MAKER}" small "${DIR}" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "make_catalogue small ended with ${made}")
endif()
execute_process(COMMAND ${EMULATOR} "${TOOL}" "${DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "reelport ended with ${status}")
endif()
if(NOT out MATCHES "  12 tapes exported to [^\n]*\n  40 progs exported to ")
  message(FATAL_ERROR "unexpected count lines:\n${out}")
endif()
