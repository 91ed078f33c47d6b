# Cross-builds the Windows program with Debian's mingw-w64 (i686, posix threads for std::thread).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HALVENT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
