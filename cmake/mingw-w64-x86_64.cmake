# SPDX-License-Identifier: MIT
# Cross-compiles Reelport for 64-bit Windows with Debian's mingw-w64 (the
# "posix" thread model, package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Programs are linked -static, so reelport.exe needs only the DLLs that come
# with Windows itself. Tests and test discovery run the .exe files under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(REELPORT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${REELPORT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${REELPORT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${REELPORT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${REELPORT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLLs beside the program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(REELPORT_WINE NAMES wine wine64)
if(REELPORT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${REELPORT_WINE})
endif()
