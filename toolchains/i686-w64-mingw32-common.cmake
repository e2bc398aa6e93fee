# 32-bit Windows (i686) with mingw-w64; MORVEL_MINGW_THREADS (win32 or posix)
# names the compilers' thread model. The C and C++ runtimes are linked
# statically so that nothing but system DLLs is imported.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${MORVEL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${MORVEL_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A host guarantees only 4-byte stack alignment at the plug-in's entry points;
# functions that need more realign their own frames. The Windows headers
# declare nothing newer than Windows XP: a newer function is looked up at run
# time, with a fallback.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2 -D_WIN32_WINNT=0x0501 -DWINVER=0x0501")

# No link time in the PE headers (the linker writes one by default): the same
# sources give the same bytes on every build.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
