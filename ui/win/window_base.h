// A window object behind a window handle: the object pointer travels in
// lpCreateParams to WM_NCCREATE and lives in GWLP_USERDATA; one window
// procedure per class only dispatches to HandleMessage. Also the
// registration of the module's window classes (undone at unload), the
// system's cursors and icon the windows show, and child panels.
#pragma once

#include <windows.h>

namespace morvel::win {

class WindowBase {
public:
    WindowBase() = default;
    virtual ~WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const { return m_hwnd; }

protected:
    // Registers a window class whose windows are WindowBase objects; once per
    // class name and module.
    static void RegisterWindowClass(const char* className, HBRUSH background);

    // Creates the window for this object; throws Error on failure.
    void CreateHandle(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                      int y, int width, int height, HWND parent);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window is gone (WM_NCDESTROY) once CreateHandle has
    // succeeded; the object may delete itself here. A window whose creation
    // failed half-way never calls it: the creator still owns the object.
    virtual void OnFinalDestroy() {}
    // A failure that escaped a handler: shown to the operator.
    virtual void OnHandlerFailure(const char* message);
    // Whether a message of the window's own (WM_APP and up) is handled without
    // running code of others, like the ordinary messages of entry_win.h.
    virtual bool OrdinaryOwnMessage(UINT /*message*/) const { return false; }

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcA(m_hwnd, message, wParam, lParam);
    }

public:
    // The window procedure of every WindowBase class, behind its entry stub.
    static LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    // The message handed to the window's object (taken from lpCreateParams at
    // WM_NCCREATE); a failure that escapes a handler is shown.
    static LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static bool OrdinaryOwnMessage(HWND hwnd, UINT message);

    HWND m_hwnd = nullptr;
    bool m_created = false;
};

// The system's cursors and icon that the plug-in's windows show, loaded once
// when the first window class is registered (in _Run): loaded later, on a
// window message, Wine's loader would be asked for them, and its lock may be
// held by a thread that waits for this one. A window class that names its
// icon spares the caption a load of the default one at every drawing.
struct SystemLook {
    HCURSOR arrow = nullptr;
    HCURSOR upDown = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};
const SystemLook& Look();

// A child panel of the class className (registered on first use) that hands
// its controls' notifications on to its parent.
HWND CreatePanel(HWND parent, int id, const char* className);

// Unregisters every window class this module registered (at unload, once
// their windows are gone).
void UnregisterWindowClasses();

} // namespace morvel::win
