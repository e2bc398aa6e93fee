#include "ui/win/window_base.h"

#include "plugin/boundary_win.h"
#include "plugin/module_win.h"
#include "plugin/text.h"

#include <exception>
#include <string>

namespace morvel::win {

namespace {

constexpr const char* kPanelClass = "MorvelPanel";

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    FpuGuard guard;
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return SendMessageA(GetParent(hwnd), message, wParam, lParam);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

void WindowBase::RegisterWindowClass(const char* className, HBRUSH background) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(ModuleInstance(), className, &existing)) {
        return;
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &WindowBase::WindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (RegisterClassExA(&wc) == 0) {
        throw Error(std::string("Cannot register window class ") + className);
    }
}

void WindowBase::CreateHandle(DWORD exStyle, const char* className, const char* title,
                              DWORD style, int x, int y, int width, int height, HWND parent) {
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent,
                                nullptr, ModuleInstance(), this);
    if (hwnd == nullptr) {
        m_hwnd = nullptr;
        throw Error(std::string("Cannot create window ") + className);
    }
    m_hwnd = hwnd;
    m_created = true;
}

LRESULT WindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

void WindowBase::OnHandlerFailure(const char* message) {
    ShowFailure(message);
}

LRESULT CALLBACK WindowBase::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    FpuGuard guard;
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hwnd = hwnd;
    }
    if (self == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        try {
            self->OnHandlerFailure(e.what());
        } catch (...) {
        }
    } catch (...) {
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        // A creation that fails after WM_NCCREATE (a WM_CREATE refusal, no
        // window driver) also ends here; then CreateHandle's caller owns the
        // object and must not find it deleted.
        if (self->m_created) {
            try {
                self->OnFinalDestroy();
            } catch (...) {
            }
        }
    }
    return result;
}

HWND CreatePanel(HWND parent, int id) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(ModuleInstance(), kPanelClass, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &PanelProc;
        wc.hInstance = ModuleInstance();
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kPanelClass;
        if (RegisterClassExA(&wc) == 0) {
            throw Error("Cannot register window class MorvelPanel");
        }
    }
    HWND panel = CreateWindowExA(WS_EX_CONTROLPARENT, kPanelClass, "",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ModuleInstance(), nullptr);
    if (panel == nullptr) {
        throw Error("Cannot create panel");
    }
    return panel;
}

} // namespace morvel::win
