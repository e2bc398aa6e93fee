// Libraries of the system directory, loaded by their full path, and where
// Windows looks for the others. Windows looks for a DLL a program imports, or
// that any code of the process (a system library too) loads by its name
// alone, in the program's own folder first, unless the DLL is one of the
// system's KnownDLLs: a program run from a download folder would take a
// planted ODBC32.dll or PSAPI.DLL from there. The release's programs
// therefore import KnownDLLs only, load every other library of their own with
// LoadSystemLibrary, and leave the system directory the only folder searched
// (LimitDllSearch).
#pragma once

#include <windows.h>

#include <string>

namespace morvel {

// Loads NAME ("odbc32.dll") from the system directory by its full path; the
// libraries it imports are looked for in that directory first too. The
// library stays loaded until the process ends. Throws Error naming the path
// and the system's reason.
HMODULE LoadSystemLibrary(const char* name);

// Where a DLL named without a path is looked for, whoever loads it.
enum class DllSearch {
    // The system directory alone (SetDefaultDllDirectories with
    // LOAD_LIBRARY_SEARCH_SYSTEM32: Windows 8 and later, Vista and 7 with
    // KB2533623); where the system lacks it, as ProgramFolder. A library
    // loaded by its full path with LOAD_WITH_ALTERED_SEARCH_PATH (odbc32.dll
    // by LoadSystemLibrary) still finds the libraries it imports in its own
    // folder; one of another folder loaded by its name alone is not found.
    SystemDirectory,
    // The program's folder, then the system's, then PATH, without the
    // current directory (SetDllDirectory(""): XP SP1 and later). For a
    // program that loads libraries of its own folder by their names.
    ProgramFolder,
};

// Sets where the process looks for DLLs, through functions looked up at run
// time. Call it first thing in main, before anything loads a library.
void LimitDllSearch(DllSearch search);

// The system's text for an error code, without the trailing line break.
std::string SystemMessage(DWORD code);

} // namespace morvel
