# The part of the mingw-w64 tool-chain files that both Windows targets share; the target's own
# file sets CMAKE_SYSTEM_PROCESSOR and HALVENT_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${HALVENT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HALVENT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HALVENT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HALVENT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools built for Windows run under Wine when it is installed, through the script
# that picks a Wine loader this machine can start.
find_program(HALVENT_WINE NAMES wine)
if(HALVENT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh)
endif()
