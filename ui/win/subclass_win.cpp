#include "ui/win/subclass_win.h"

#include "module/boundary_win.h"
#include "module/entry_win.h"
#include "module/module_win.h"

extern "C" LRESULT CALLBACK MorvelSubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR id, DWORD_PTR handler);

namespace morvel::win {

void SubclassHandler::Subclass(HWND control, UINT_PTR id) {
    SetWindowSubclass(control, &MorvelSubclassProc, id, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT SubclassHandler::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR id, DWORD_PTR handler) noexcept {
    return EnterBody(
        !OrdinaryMessage(message, lParam),
        [&] { return DefSubclassProc(hwnd, message, wParam, lParam); },
        [&] {
            if (message == WM_NCDESTROY) {
                RemoveWindowSubclass(hwnd, &MorvelSubclassProc, id);
            } else if (const std::optional<LRESULT> result =
                           reinterpret_cast<SubclassHandler*>(handler)->OnSubclassMessage(
                               id, hwnd, message, wParam, lParam)) {
                return *result;
            }
            return DefSubclassProc(hwnd, message, wParam, lParam);
        });
}

} // namespace morvel::win

extern "C" LRESULT MorvelSubclassProcBody(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR handler) noexcept {
    return morvel::win::SubclassHandler::Dispatch(hwnd, message, wParam, lParam, id, handler);
}

MORVEL_STDCALL_ENTRY(MorvelSubclassProc, MorvelSubclassProcBody, 24);
