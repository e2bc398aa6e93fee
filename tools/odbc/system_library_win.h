// Libraries of the system directory, loaded by their full path. Windows looks
// for a DLL a program imports, or loads by its name alone, in the program's
// own folder first, unless the DLL is one of the system's KnownDLLs: a
// program run from a download folder would take a planted ODBC32.dll or
// PSAPI.DLL from there. The release's programs therefore import KnownDLLs
// only and load every other library with LoadSystemLibrary.
#pragma once

#include <windows.h>

#include <string>

namespace morvel {

// Loads NAME ("odbc32.dll") from the system directory by its full path; the
// libraries it imports are looked for in that directory first too. The
// library stays loaded until the process ends. Throws Error naming the path
// and the system's reason.
HMODULE LoadSystemLibrary(const char* name);

// Takes the current directory out of the folders LoadLibrary searches
// (SetDllDirectory(""), looked up at run time: XP SP1 and later). Call it
// first thing in main.
void LeaveCurrentDirectoryOutOfDllSearch();

// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD code);

} // namespace morvel
