// The module's own services that every part of the plug-in's Windows code
// shares: its instance, the thread of its windows, the unload and process-exit
// states, the message pump, the host program's name and the failure box.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace morvel {

// This module's instance handle.
HINSTANCE ModuleInstance();
// Called from DllMain at process attach: ModuleInstance() then needs no loader
// call (DllMain must not wait on the loader).
void SetModuleInstance(HINSTANCE instance);

// The thread that made the plug-in's windows (0 before the first).
DWORD WindowThread();
void NoteWindowThread();

// Set while the module tears itself down on a dynamic unload: failures are not
// shown and no hold is taken.
bool ModuleUnloading();
void SetModuleUnloading();
// Set when the process exits: window procedures do nothing of their own, as
// the module's static objects may already be gone.
bool ProcessExiting();
void SetProcessExiting();

// Handles every pending message of the thread once. A WM_QUIT met on the way
// is put back for the host's own message loop. Nothing is handled when the
// module cannot be held (see HoldModule).
void ProcessMessages();

// A module's file, however long its path (see GrowingPath); empty when it
// cannot be told.
std::string ModuleFilePath(HMODULE module);

// The running process's program file (the host's, not this module's), as
// NoteHostProgram found it when the module was attached (or, in a program
// without the module's DllMain, the first time it is asked).
std::string HostProgramPath();
void NoteHostProgram();

// The host program's file name without directory and extension.
std::string HostProgramName();

// Shows a failure as the operator sees it: the message (with "." added when
// its last character sorts after "."), the host program's name as caption (its
// first character as it is, the rest in lower case), OK and a stop icon; no
// owner, the thread's windows disabled while the box is up.
void ShowFailure(std::string_view message);

} // namespace morvel
