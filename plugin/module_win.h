// The module-wide state of MorvelRussia.dll and the few services every part of
// the plug-in's Windows code shares.
#pragma once

#include "plugin/records.h"

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

// Keeps the module loaded for the rest of the process once it has made a
// window: a host may unload it right after _Release, while the destruction of
// its windows is still pending.
void PinModule();

// Makes the plug-in's own activation context (its manifest resource: Common
// Controls 6) the active one while it lives, so that the plug-in's windows are
// made with the current look whatever the host's manifest says; the host's
// context is back afterwards. Without such a context (older systems), nothing
// happens.
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
