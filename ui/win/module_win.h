// The module-wide state of MorvelRussia.dll and the few services every part of
// the plug-in's Windows code shares.
#pragma once

#include "contract/records.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace morvel {

class TfmMainForm;
class TfmDomList;

// The last contact received (zero until the first).
extern TQSOData WorkingRecord;
// The one main window; the plug-in counts as running exactly while it is set.
extern TfmMainForm* MainWindow;
// The one multipliers window, or nothing.
extern TfmDomList* DomWindow;
// The module's application window handle as it stood at the last _Run. The
// plug-in has no application window of its own, so this stays 0 unless a
// host-facing piece sets ApplicationHandle.
extern HWND SavedAppHandle;
extern HWND ApplicationHandle;

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

// Makes the plug-in's own activation context (its manifest resource: Common
// Controls 6) the active one while it lives, so that the plug-in's windows are
// made with the current look whatever the host's manifest says; the host's
// context is back afterwards. Without such a context (older systems), nothing
// happens. The Common Controls library stays mapped for the rest of the
// process: windows that an unload on another thread leaves behind still run
// its window procedures, and mapping it afresh with every load of the module
// would cost memory that its start-up never gives back.
class ActivationScope {
public:
    ActivationScope();
    ~ActivationScope();
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;

private:
    ULONG_PTR m_cookie = 0;
    bool m_active = false;
};

// Releases the activation context ActivationScope made (at unload).
void ReleaseActivationContext();

// Makes the calling thread per-monitor DPI aware while it lives (windows
// created meanwhile keep that awareness and get WM_DPICHANGED), and puts the
// thread's previous awareness back afterwards; the process is left alone.
// Systems without per-monitor awareness skip it.
class DpiAwarenessScope {
public:
    DpiAwarenessScope();
    ~DpiAwarenessScope();
    DpiAwarenessScope(const DpiAwarenessScope&) = delete;
    DpiAwarenessScope& operator=(const DpiAwarenessScope&) = delete;

private:
    void* m_previous = nullptr;
};

// WM_DPICHANGED: sent from Windows 8.1 on to a per-monitor aware window whose
// pixels per inch change; headers for Windows XP do not declare it.
inline constexpr UINT kDpiChangedMessage = 0x02E0;

// The pixels per inch a window is shown at: its monitor's where the system
// knows per-monitor DPI, else the screen's.
int WindowDpi(HWND window);

// Handles every pending message of the thread once. A WM_QUIT met on the way
// is put back for the host's own message loop.
void ProcessMessages();

// The host program's file name without directory and extension.
std::string HostProgramName();

// Shows a failure as the operator sees it: the message (with "." added when
// its last character sorts after "."), the host program's name as caption (its
// first character as it is, the rest in lower case), OK and a stop icon; no
// owner, the thread's windows disabled while the box is up.
void ShowFailure(std::string_view message);

} // namespace morvel
