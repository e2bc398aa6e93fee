#include "tests/host/event_windows_win.h"

#include "contract/text.h"

#include <utility>

namespace morvel::host {

namespace {

constexpr const char* kPostWindowClass = "MorvelHostQueue";
constexpr const char* kEventWindowClass = "MorvelHostEvents";
constexpr UINT_PTR kEventTimerId = 1;

} // namespace

PostWindow::PostWindow(Callback callback) : m_callback(std::move(callback)) {
    m_message = RegisterWindowMessageA("morvel-host queued script line");
    if (m_message == 0) {
        throw Error("cannot register the message for queued lines: " +
                    SystemMessage(GetLastError()));
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kPostWindowClass;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw Error("cannot register the window class for queued lines: " +
                    SystemMessage(GetLastError()));
    }
    m_window = WindowHandle(CreateWindowExA(0, kPostWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, instance, nullptr));
    if (!m_window) {
        throw Error("cannot make the window for queued lines: " + SystemMessage(GetLastError()));
    }
    SetWindowLongPtrA(m_window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool PostWindow::PostLine(std::size_t index) const {
    return PostMessageA(m_window.Get(), m_message, static_cast<WPARAM>(index), 0) != FALSE;
}

LRESULT CALLBACK PostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message == self->m_message) {
        try {
            self->m_callback(static_cast<std::size_t>(wParam));
        } catch (...) {
            // The callback reports its own failures; nothing may leave here.
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

EventWindow::EventWindow(Callback callback) : m_callback(std::move(callback)) {
    m_message = RegisterWindowMessageA("morvel-host event");
    if (m_message == 0) {
        throw Error("cannot register the message for host events: " +
                    SystemMessage(GetLastError()));
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kEventWindowClass;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw Error("cannot register the window class for host events: " +
                    SystemMessage(GetLastError()));
    }
    m_window = WindowHandle(CreateWindowExA(0, kEventWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                            nullptr, instance, nullptr));
    if (!m_window) {
        throw Error("cannot make the window for host events: " + SystemMessage(GetLastError()));
    }
    SetWindowLongPtrA(m_window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

bool EventWindow::Post() const {
    return PostMessageA(m_window.Get(), m_message, 0, 0) != FALSE;
}

void EventWindow::StartTimer(UINT milliseconds) {
    if (SetTimer(m_window.Get(), kEventTimerId, milliseconds, nullptr) == 0) {
        throw Error("cannot start the timer for host events: " + SystemMessage(GetLastError()));
    }
    m_timer = true;
}

void EventWindow::StopTimer() {
    if (m_timer) {
        KillTimer(m_window.Get(), kEventTimerId);
        m_timer = false;
    }
}

LRESULT CALLBACK EventWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<EventWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const bool timer = message == WM_TIMER && wParam == kEventTimerId;
    if (self != nullptr && (message == self->m_message || timer)) {
        try {
            self->m_callback(timer ? Source::Timer : Source::Posted);
        } catch (...) {
            // The callback reports its own failures; nothing may leave here.
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace morvel::host
