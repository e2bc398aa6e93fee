// The look and the pixels per inch of the plug-in's windows: the activation
// context of the plug-in's manifest (Common Controls 6, the library pinned for
// the rest of the process) and the DPI awareness scopes: per-monitor for the
// windows made while the scope lives, a window's own for reading and writing
// its settings.
#pragma once

#include <windows.h>

namespace morvel::win {

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
// Systems without per-thread awareness (before Windows 10 1607) skip it.
class DpiAwarenessScope {
public:
    DpiAwarenessScope();
    // Gives the thread the window's awareness instead: coordinates, the
    // screen's size and its pixels per inch are then what the window's own
    // procedures see (Windows switches to the window's awareness while they
    // run), whether the code runs inside them or in a call from a host that
    // is not DPI aware. Without per-thread awareness the thread and its
    // windows share one already, and nothing is done.
    explicit DpiAwarenessScope(HWND window);
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

// Looks up the DPI functions of newer systems. Called when the module is
// attached: looked up later, on a window message, GetProcAddress would wait
// for the loader's lock, which another thread may hold.
void LookUpDpiFunctions();

} // namespace morvel::win
