#include "ui/form_win.h"

#include "ui/form_storage_win.h"
#include "ui/main_layout.h"
#include "ui/win/handles.h"
#include "ui/win/look_win.h"
#include "ui/win/params_win.h"

namespace morvel {

namespace {

constexpr DWORD kStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
// The pixels per inch a change may bring: Windows scales from 100 % to 500 %;
// a little room either side.
constexpr int kLeastDpi = 48;
constexpr int kMostDpi = 960;

int ScreenDpi() {
    win::WindowDC dc(nullptr);
    const int dpi = dc.Get() != nullptr ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : ui::kDesignDpi;
    return dpi > 0 ? dpi : ui::kDesignDpi;
}

// The outer size of a window whose client area has the design size at dpi.
SIZE OuterSize(int clientWidth, int clientHeight, int dpi) {
    RECT outer{0, 0, ui::Scale(clientWidth, dpi), ui::Scale(clientHeight, dpi)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

} // namespace

void TForm::CreateForm(const Design& design) {
    // Per-monitor DPI aware and with the current look, both for this window
    // only: the host's thread gets its own awareness and context back.
    win::ActivationScope look;
    win::DpiAwarenessScope dpiAware;
    m_dpi = ScreenDpi();
    RegisterWindowClass(design.className, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // The design position stands as it is; the size follows the screen.
    const SIZE outer = OuterSize(design.clientWidth, design.clientHeight, m_dpi);
    CreateHandle(kExStyle, design.className, design.caption, kStyle, design.left, design.top,
                 outer.cx, outer.cy, nullptr);
    if (const int dpi = win::WindowDpi(Handle()); dpi != m_dpi) {
        // Its monitor has other pixels per inch than the screen as a whole.
        m_dpi = dpi;
        FitClientArea(design);
    }
    ui::KeepOnMonitor(Handle());
    MakeFonts();
    MakeControls();
    m_controlsMade = true;
    LayOut();
}

void TForm::CreateOrDelete(TForm* form, const Design& design) {
    try {
        form->CreateForm(design);
    } catch (...) {
        if (form->Handle() != nullptr) {
            DestroyWindow(form->Handle()); // deletes the object at WM_NCDESTROY
        } else {
            delete form;
        }
        throw;
    }
}

void TForm::OnClose() {
    m_storage.Save(Handle(), false);
    ShowWindow(Handle(), SW_HIDE);
    PostDestroy();
    m_closed = true;
}

void TForm::OnDestroyMessage() {
    DestroyWindow(Handle());
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (FollowDpi(message, wParam, lParam)) {
        OnDpiChanged();
        return 0;
    }
    switch (message) {
    case WM_SIZE:
        if (m_controlsMade) {
            LayOut();
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kMenuAlwaysOnTop) {
            ToggleOnTop(m_onTop);
            return 0;
        }
        break;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_WINDOWPOSCHANGED:
        if (FollowsPlacement()) {
            m_storage.Follow(Handle(), message);
        }
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case kDestroyMessage:
        if (TakeDestroy()) {
            OnDestroyMessage();
        }
        return 0;
    case WM_DESTROY:
        m_storage.Save(Handle(), true);
        m_closed = true;
        OnDestroy();
        return 0;
    default:
        break;
    }
    return FormMessage(message, wParam, lParam);
}

void TForm::FitClientArea(const Design& design) {
    const SIZE outer = OuterSize(design.clientWidth, design.clientHeight, m_dpi);
    SetWindowPos(Handle(), nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TForm::Scaled(int designPixels) const {
    return ui::Scale(designPixels, m_dpi);
}

void TForm::PostDestroy() {
    if (Handle() != nullptr) {
        m_destroyPosted = true;
        if (!PostMessageA(Handle(), kDestroyMessage, 0, 0)) {
            m_destroyPosted = false;
        }
    }
}

void TForm::Place(HWND child, const ui::Rect& r) {
    MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool TForm::FollowDpi(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != win::kDpiChangedMessage) {
        return false;
    }
    // Anyone can post this message, with any numbers and no rectangle (or an
    // address that means nothing here); the system sends it with the
    // rectangle it suggests for the new pixels per inch. One without a
    // rectangle that can be read here, or with pixels per inch no system
    // gives, changes nothing; the rectangle is a copy, and the window is
    // kept on a monitor.
    const std::optional<RECT> suggested = win::ReadPointee<RECT>(lParam);
    const int dpi = HIWORD(wParam);
    if (!suggested || dpi != LOWORD(wParam) || dpi < kLeastDpi || dpi > kMostDpi || dpi == m_dpi) {
        return true;
    }
    RECT current{};
    GetWindowRect(Handle(), &current);
    const ui::Rect target = ui::KeptOnAMonitor(
        ui::DpiChangedRect({current.left, current.top, current.right, current.bottom}, m_dpi, dpi,
                           {suggested->left, suggested->top, suggested->right, suggested->bottom}));
    m_dpi = dpi;
    MakeFonts();
    SetWindowPos(Handle(), nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut();
    return true;
}

void TForm::AddMenuItem(UINT id, const char* text, std::optional<bool> checked) {
    HMENU menu = GetSystemMenu(Handle(), FALSE);
    if (menu == nullptr) {
        return;
    }
    if (!m_menuSeparated) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        m_menuSeparated = true;
    }
    AppendMenuA(menu, MF_STRING | (checked.value_or(false) ? MF_CHECKED : MF_UNCHECKED), id, text);
}

void TForm::CheckMenuItem(UINT id, bool checked) {
    if (HMENU menu = GetSystemMenu(Handle(), FALSE)) {
        ::CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void TForm::ApplyOnTop(ui::Choice choice, bool on, bool store) {
    SetWindowPos(Handle(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CheckMenuItem(kMenuAlwaysOnTop, on);
    if (store) {
        ui::WriteChoice(choice, on);
    }
}

void TForm::ToggleOnTop(ui::Choice choice) {
    ApplyOnTop(choice, (GetWindowLongPtrA(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) == 0, true);
}

} // namespace morvel
