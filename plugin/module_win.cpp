#include "plugin/module_win.h"

#include "oblast/oblast_win.h"
#include "plugin/text.h"

#include <commctrl.h>

namespace morvel {

TQSOData WorkingRecord;
TfmMainForm* MainWindow = nullptr;
TfmDomList* DomWindow = nullptr;
HWND SavedAppHandle = nullptr;
HWND ApplicationHandle = nullptr;

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
    return module;
}

void PinModule() {
    static bool pinned = false;
    if (!pinned) {
        HMODULE module = nullptr;
        pinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                        GET_MODULE_HANDLE_EX_FLAG_PIN,
                                    reinterpret_cast<LPCSTR>(&PinModule), &module) != FALSE;
    }
}

namespace {

HANDLE PluginActivationContext() {
    static HANDLE context = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
        ACTCTXA actctx{};
        actctx.cbSize = sizeof actctx;
        actctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actctx.lpSource = path;
        actctx.hModule = ModuleInstance();
        actctx.lpResourceName = MAKEINTRESOURCEA(2);
        return CreateActCtxA(&actctx);
    }();
    return context;
}

} // namespace

ActivationScope::ActivationScope() {
    const HANDLE context = PluginActivationContext();
    if (context != INVALID_HANDLE_VALUE) {
        m_active = ActivateActCtx(context, &m_cookie) != FALSE;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
}

ActivationScope::~ActivationScope() {
    if (m_active) {
        DeactivateActCtx(0, m_cookie);
    }
}

namespace {

using SetThreadDpiContext = void*(WINAPI*)(void*);
using GetWindowDpi = UINT(WINAPI*)(HWND);

template <class Proc>
Proc User32Proc(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != nullptr
               ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE.
void* const kPerMonitorV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));
void* const kPerMonitor = reinterpret_cast<void*>(static_cast<INT_PTR>(-3));

} // namespace

DpiAwarenessScope::DpiAwarenessScope() {
    static const auto set = User32Proc<SetThreadDpiContext>("SetThreadDpiAwarenessContext");
    if (set != nullptr) {
        m_previous = set(kPerMonitorV2);
        if (m_previous == nullptr) {
            m_previous = set(kPerMonitor);
        }
    }
}

DpiAwarenessScope::~DpiAwarenessScope() {
    static const auto set = User32Proc<SetThreadDpiContext>("SetThreadDpiAwarenessContext");
    if (set != nullptr && m_previous != nullptr) {
        set(m_previous);
    }
}

int WindowDpi(HWND window) {
    static const auto forWindow = User32Proc<GetWindowDpi>("GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        if (const UINT dpi = forWindow(window); dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC dc = GetDC(nullptr);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc != nullptr) {
        ReleaseDC(nullptr, dc);
    }
    return dpi > 0 ? dpi : 96;
}

void ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string HostProgramName() {
    std::string path = HostProgramPath();
    const std::size_t slash = path.find_last_of("\\/:");
    if (slash != std::string::npos) {
        path.erase(0, slash + 1);
    }
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos) {
        path.erase(dot);
    }
    return path;
}

void ShowFailure(std::string_view message) {
    std::string caption = HostProgramName();
    if (caption.size() > 1) {
        CharLowerBuffA(caption.data() + 1, static_cast<DWORD>(caption.size() - 1));
    }
    std::string text = FailureText(message);
    // A message box shows text up to its first zero byte.
    for (char& c : text) {
        if (c == '\0') {
            c = ' ';
        }
    }
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

} // namespace morvel
