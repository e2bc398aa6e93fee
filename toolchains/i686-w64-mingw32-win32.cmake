# The release build: 32-bit Windows with the mingw-w64 win32-thread compilers.
# Their C++ runtime needs no POSIX thread layer, so the DLL and the programs
# import nothing newer than Windows XP SP3 and leave nothing behind when the
# DLL is unloaded.
set(MORVEL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32-common.cmake)

# With debug information: the package keeps the plug-in's beside the ZIP
# (MorvelRussia.dll.debug) and ships the programs stripped; -g changes no
# generated code. DWARF 4, because Debian 12's addr2line (binutils 2.40) names
# the wrong file for code inlined from a header in DWARF 5's line tables.
string(APPEND CMAKE_C_FLAGS_INIT " -gdwarf-4")
string(APPEND CMAKE_CXX_FLAGS_INIT " -gdwarf-4")

# A stack protector in every function with an array or a local whose address
# is taken, and the string and memory functions of the mingw-w64 headers
# checked against the size of a destination the compiler knows
# (_FORTIFY_SOURCE=2: at compile time where it can, else at run time). What
# the checks call comes from module/runtime/ in the images the release ships
# (cmake/Hardening.cmake), from GCC's static libssp in the test programs.
string(APPEND CMAKE_C_FLAGS_INIT " -fstack-protector-strong -D_FORTIFY_SOURCE=2")
string(APPEND CMAKE_CXX_FLAGS_INIT " -fstack-protector-strong -D_FORTIFY_SOURCE=2")
