# GoogleTest's programs under Wine: the mingw-w64 posix-thread compilers, whose
# C++ runtime has std::mutex (the win32-thread one has not).
set(MORVEL_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32-common.cmake)
