#include "plugin/unload_win.h"

#include "module/entry_win.h"
#include "module/module_win.h"
#include "plugin/root_win.h"
#include "ui/control_ids.h"
#include "ui/win/look_win.h"
#include "ui/win/window_base.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace morvel {

namespace {

bool OwnClass(HWND window) {
    return reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)) == ModuleInstance();
}

bool IsClass(HWND window, const char* name) {
    char text[64] = {};
    return GetClassNameA(window, text, sizeof text) > 0 && std::strcmp(text, name) == 0;
}

BOOL CALLBACK CollectOwnWindow(HWND window, LPARAM param) {
    if (OwnClass(window)) {
        try {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        } catch (...) {
            return FALSE; // no memory: the windows found so far are handled
        }
    }
    return TRUE;
}

// The top-level windows of the plug-in's classes on the windows' thread, main
// windows first: they take their multipliers windows with them.
std::vector<HWND> PluginWindows() {
    std::vector<HWND> found;
    if (WindowThread() == 0) {
        return found;
    }
    EnumThreadWindows(WindowThread(), &CollectOwnWindow, reinterpret_cast<LPARAM>(&found));
    std::stable_partition(found.begin(), found.end(),
                          [](HWND window) { return IsClass(window, ui::kMainFormClass); });
    return found;
}

// The module's own classes get the default procedure, the system's controls
// their class procedure (past any subclass of this module).
LONG_PTR InertProcedure(HWND window) {
    return OwnClass(window) ? reinterpret_cast<LONG_PTR>(&DefWindowProcA)
                            : static_cast<LONG_PTR>(GetClassLongPtrA(window, GCLP_WNDPROC));
}

BOOL CALLBACK MakeChildInert(HWND child, LPARAM) {
    SetWindowLongPtrA(child, GWLP_WNDPROC, InertProcedure(child));
    return TRUE;
}

// Nothing is posted to the window: under Wine a destruction on its thread
// while this one still unloads deadlocks. The operator can close it; a later
// start of the plug-in destroys what is left (window_base.cpp).
void MakeInert(HWND window) {
    EnumChildWindows(window, &MakeChildInert, 0);
    SetWindowLongPtrA(window, GWLP_WNDPROC, InertProcedure(window));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

} // namespace

void UnloadModule() {
    const bool ownThread = WindowThread() == 0 || WindowThread() == GetCurrentThreadId();
    const std::vector<HWND> windows = PluginWindows();
    if (!ownThread) {
        BeginDetach();
        // The windows lose the module's procedures first; then the windows'
        // thread is let finish what module code it runs.
        for (HWND window : windows) {
            if (IsWindow(window)) {
                MakeInert(window);
            }
        }
        AwaitModuleCodeLeft(WindowThread(), windows.empty() ? nullptr : windows.front());
    }
    SetModuleUnloading();
    if (ownThread) {
        for (HWND window : windows) {
            if (IsWindow(window)) { // else it went with its main window
                DestroyWindow(window);
            }
        }
    }
    win::UnregisterWindowClasses();
    if (ownThread) {
        FreeRoot();
    }
    win::ReleaseActivationContext();
}

} // namespace morvel
