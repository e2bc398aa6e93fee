# The release build: 32-bit Windows with the mingw-w64 win32-thread compilers.
# Their C++ runtime needs no POSIX thread layer, so the DLL and the programs
# import nothing newer than Windows XP SP3 and leave nothing behind when the
# DLL is unloaded.
set(MORVEL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32-common.cmake)
