#include "ui/win/module_win.h"

#include "contract/text.h"
#include "oblast/oblast_win.h"
#include "ui/win/entry_win.h"

#include <commctrl.h>

namespace morvel {

TQSOData WorkingRecord;
TfmMainForm* MainWindow = nullptr;
TfmDomList* DomWindow = nullptr;
HWND SavedAppHandle = nullptr;
HWND ApplicationHandle = nullptr;

namespace {

HINSTANCE g_instance = nullptr;
DWORD g_windowThread = 0;
bool g_unloading = false;
bool g_processExiting = false;

} // namespace

HINSTANCE ModuleInstance() {
    if (g_instance != nullptr) {
        return g_instance;
    }
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ModuleInstance), &module);
    return module;
}

void SetModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}

DWORD WindowThread() {
    return g_windowThread;
}

void NoteWindowThread() {
    g_windowThread = GetCurrentThreadId();
}

bool ModuleUnloading() {
    return g_unloading;
}

void SetModuleUnloading() {
    g_unloading = true;
}

bool ProcessExiting() {
    return g_processExiting;
}

void SetProcessExiting() {
    g_processExiting = true;
}

namespace {

HANDLE g_activationContext = INVALID_HANDLE_VALUE;
bool g_activationContextMade = false;
bool g_commonControlsPinned = false;

HANDLE PluginActivationContext() {
    if (g_activationContextMade) {
        return g_activationContext;
    }
    g_activationContextMade = true;
    g_activationContext = [] {
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
    return g_activationContext;
}

} // namespace

void ReleaseActivationContext() {
    if (g_activationContextMade && g_activationContext != INVALID_HANDLE_VALUE) {
        ReleaseActCtx(g_activationContext);
    }
    g_activationContext = INVALID_HANDLE_VALUE;
    g_activationContextMade = false;
}

ActivationScope::ActivationScope() {
    const HANDLE context = PluginActivationContext();
    if (context != INVALID_HANDLE_VALUE) {
        m_active = ActivateActCtx(context, &m_cookie) != FALSE;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    if (!g_commonControlsPinned) {
        HMODULE library = nullptr;
        g_commonControlsPinned =
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                               reinterpret_cast<LPCSTR>(&InitCommonControlsEx), &library) != FALSE;
    }
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
    HoldModule();
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
    if (g_unloading || g_processExiting) {
        return; // no message box inside DllMain
    }
    HoldModule();
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
