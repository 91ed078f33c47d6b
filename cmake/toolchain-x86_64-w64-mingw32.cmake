# Cross-builds the Windows program with Debian's mingw-w64 (x86_64, posix threads for std::thread).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HALVENT_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
