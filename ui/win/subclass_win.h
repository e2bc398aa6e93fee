// Procedures placed before a control's own (SetWindowSubclass), all of them
// reached through one entry of the module: one subclass procedure, which hands
// each message to the handler object it was placed with.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>

namespace morvel::win {

class SubclassHandler {
public:
    // Places this handler before the control's own procedure; id tells the
    // handler's subclasses apart. The subclass comes off at the control's
    // WM_NCDESTROY; the handler must live until then.
    void Subclass(HWND control, UINT_PTR id);

    // The subclass procedure behind its entry stub: at process exit the
    // message goes straight on to the control; otherwise the handler runs
    // inside the module's hold (the control's own code may run a modal loop)
    // and the floating-point guard, and a failure passes the message on.
    static LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                            DWORD_PTR handler) noexcept;

protected:
    SubclassHandler() = default;
    ~SubclassHandler() = default;
    SubclassHandler(const SubclassHandler&) = delete;
    SubclassHandler& operator=(const SubclassHandler&) = delete;

    // The result when the message needs nothing more, or nothing to pass it
    // on to the control's own procedure (DefSubclassProc).
    virtual std::optional<LRESULT> OnSubclassMessage(UINT_PTR id, HWND hwnd, UINT message,
                                                     WPARAM wParam, LPARAM lParam) = 0;
};

} // namespace morvel::win
