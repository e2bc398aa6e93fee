// The way into every subclass procedure of the module's windows.
#pragma once

#include "ui/win/boundary_win.h"
#include "ui/win/module_win.h"

#include <windows.h>
#include <commctrl.h>

#include <optional>

namespace morvel::win {

// At process exit the message goes straight on to the next procedure.
// Otherwise handle() runs inside the module's hold (the control's own code may
// run a modal loop) and the floating-point guard, and gives the result when
// the message needs nothing more, or nothing to pass it on; a failure passes
// it on too. WM_NCDESTROY takes the subclass off.
template <class Handle>
LRESULT SubclassEntry(SUBCLASSPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                      UINT_PTR id, Handle&& handle) {
    if (ProcessExiting()) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    const ModuleHold hold;
    FpuGuard guard;
    try {
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, proc, id);
        } else if (const std::optional<LRESULT> result = handle()) {
            return *result;
        }
    } catch (...) {
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace morvel::win
