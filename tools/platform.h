// What a portable tool does differently on the platform it runs on: Windows
// in platform_win.cpp, the C library's ways elsewhere (platform.cpp).
#pragma once

#include "scoring/keys.h"

#include <string>

namespace morvel {

// The worked-list key equality: the user locale's on Windows, the C
// library's elsewhere.
const KeyEquality& PlatformKeyEquality();

// On Windows, leaves the system directory the only folder searched for DLLs
// (LimitDllSearch, tools/odbc/system_library_win.h); nothing elsewhere. First
// thing in main.
void LimitLibrarySearch();

// On Windows, standard output in binary mode: an LF goes out as LF, not as
// CR LF; nothing elsewhere. Before anything is written.
void BinaryStandardOutput();

// The oblast file where the release ZIP puts it beside the running program:
// "Plugins\Russiaobl.dom" on Windows (as the plug-in finds it beside the
// logger), "Plugins/Russiaobl.dom" elsewhere. Empty when the program's own
// path cannot be read.
std::string OblastFileBesideProgram();

} // namespace morvel
