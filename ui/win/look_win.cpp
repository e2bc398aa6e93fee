#include "ui/win/look_win.h"

#include "module/module_win.h"
#include "ui/win/handles.h"

#include <commctrl.h>

#include <string>

namespace morvel::win {

namespace {

HANDLE g_activationContext = INVALID_HANDLE_VALUE;
bool g_activationContextMade = false;
bool g_commonControlsPinned = false;

HANDLE PluginActivationContext() {
    if (g_activationContextMade) {
        return g_activationContext;
    }
    g_activationContextMade = true;
    g_activationContext = []() -> HANDLE {
        // CreateActCtx wants the module's file besides its handle; a module
        // whose path cannot be told makes its windows without the context,
        // in the classic look.
        const std::string path = ModuleFilePath(ModuleInstance());
        if (path.empty()) {
            return INVALID_HANDLE_VALUE;
        }
        ACTCTXA actctx{};
        actctx.cbSize = sizeof actctx;
        actctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actctx.lpSource = path.c_str();
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
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_PIN,
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
using GetWindowDpiContext = void*(WINAPI*)(HWND);
using GetWindowDpi = UINT(WINAPI*)(HWND);

template <class Proc>
Proc User32Proc(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != nullptr
               ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

// The functions of newer systems, looked up once (LookUpDpiFunctions);
// nullptr where the system lacks them: per-thread awareness from Windows 10
// 1607 on, a window's pixels per inch likewise.
struct DpiFunctions {
    SetThreadDpiContext setThreadContext = nullptr;
    GetWindowDpiContext windowContext = nullptr;
    GetWindowDpi windowDpi = nullptr;
};

DpiFunctions g_dpiFunctions;
bool g_dpiFunctionsLookedUp = false;

const DpiFunctions& Dpi() {
    if (!g_dpiFunctionsLookedUp) {
        LookUpDpiFunctions();
    }
    return g_dpiFunctions;
}

SetThreadDpiContext SetThreadContext() {
    return Dpi().setThreadContext;
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE.
void* const kPerMonitorV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));
void* const kPerMonitor = reinterpret_cast<void*>(static_cast<INT_PTR>(-3));

} // namespace

void LookUpDpiFunctions() {
    g_dpiFunctions.setThreadContext =
        User32Proc<SetThreadDpiContext>("SetThreadDpiAwarenessContext");
    g_dpiFunctions.windowContext = User32Proc<GetWindowDpiContext>("GetWindowDpiAwarenessContext");
    g_dpiFunctions.windowDpi = User32Proc<GetWindowDpi>("GetDpiForWindow");
    g_dpiFunctionsLookedUp = true;
}

DpiAwarenessScope::DpiAwarenessScope() {
    if (const auto set = SetThreadContext(); set != nullptr) {
        m_previous = set(kPerMonitorV2);
        if (m_previous == nullptr) {
            m_previous = set(kPerMonitor);
        }
    }
}

DpiAwarenessScope::DpiAwarenessScope(HWND window) {
    const auto ofWindow = Dpi().windowContext;
    const auto set = SetThreadContext();
    if (set == nullptr || ofWindow == nullptr || window == nullptr) {
        return;
    }
    if (void* const context = ofWindow(window); context != nullptr) {
        m_previous = set(context);
    }
}

DpiAwarenessScope::~DpiAwarenessScope() {
    if (const auto set = SetThreadContext(); set != nullptr && m_previous != nullptr) {
        set(m_previous);
    }
}

int WindowDpi(HWND window) {
    const auto forWindow = Dpi().windowDpi;
    if (forWindow != nullptr && window != nullptr) {
        if (const UINT dpi = forWindow(window); dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    WindowDC dc(nullptr);
    const int dpi = dc.Get() != nullptr ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

} // namespace morvel::win
