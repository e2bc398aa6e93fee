#include "ui/win/window_base.h"

#include "contract/text.h"
#include "module/boundary_win.h"
#include "module/entry_win.h"
#include "module/module_win.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

// The window procedures of the module's classes: entry stubs around bodies.
extern "C" {
LRESULT CALLBACK MorvelWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MorvelPanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
}

namespace morvel::win {

namespace {

// The classes this module has registered, for their unregistration at unload.
std::vector<std::string>& RegisteredClasses() {
    static std::vector<std::string> names;
    return names;
}

// The object whose window CreateHandle is making on the windows' thread; its
// WM_NCCREATE binds the two.
WindowBase* g_creating = nullptr;

struct ClassWindows {
    const WNDCLASSEXA* wc;
    std::vector<HWND> found;
};

// Whether a class registered under classInstance is this module's: registered
// by this mapping, or by an earlier one that is gone. A module loaded again
// need not be mapped where it was before (its place may be taken, or it is
// relocated on every load), so the classes of windows an unload left can have
// an instance that no module holds any more; one that another module holds
// now is not this module's.
bool OwnClassInstance(HINSTANCE classInstance, HINSTANCE instance) {
    if (classInstance == instance) {
        return true;
    }
    // Whether an image is mapped at the class's instance now, told without
    // the loader (whose lock another thread may hold while windows are made
    // on a message).
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(classInstance, &region, sizeof region) != sizeof region) {
        return true;
    }
    const bool mapped = region.State == MEM_COMMIT && region.Type == MEM_IMAGE &&
                        region.AllocationBase == classInstance;
    return !mapped;
}

BOOL CALLBACK CollectInertWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ClassWindows*>(param);
    char name[64] = {};
    if (GetWindowLongPtrA(window, GWLP_USERDATA) == 0 &&
        GetClassNameA(window, name, sizeof name) > 0 &&
        lstrcmpiA(name, search->wc->lpszClassName) == 0 &&
        OwnClassInstance(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)),
                         search->wc->hInstance)) {
        try {
            search->found.push_back(window);
        } catch (...) {
            return FALSE; // no memory: the windows found so far go
        }
    }
    return TRUE;
}

// Registers wc unless its class is registered already with this very window
// procedure. When another thread unloaded the module, the windows of its
// classes were made inert (no object behind them) and stayed; they are
// destroyed now, wherever the module was mapped then, and a class whose
// procedure lies in code that is gone is unregistered (the module was mapped
// elsewhere then) or replaced (at the same address).
void RegisterOnce(const WNDCLASSEXA& wc) {
    ClassWindows left{&wc, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectInertWindow, reinterpret_cast<LPARAM>(&left));
    for (HWND window : left.found) {
        // The class of an earlier mapping elsewhere goes with its last window.
        const auto instance = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE));
        DestroyWindow(window);
        if (instance != wc.hInstance) {
            UnregisterClassA(wc.lpszClassName, instance);
        }
    }
    // Recorded first: a class found registered already (by an earlier mapping
    // at the same address) is unregistered at unload all the same.
    std::vector<std::string>& registered = RegisteredClasses();
    if (std::find(registered.begin(), registered.end(), wc.lpszClassName) == registered.end()) {
        registered.emplace_back(wc.lpszClassName);
    }
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(wc.hInstance, wc.lpszClassName, &existing)) {
        if (existing.lpfnWndProc == wc.lpfnWndProc) {
            return;
        }
        UnregisterClassA(wc.lpszClassName, wc.hInstance);
    }
    if (RegisterClassExA(&wc) == 0) {
        throw Error(std::string("Cannot register window class ") + wc.lpszClassName);
    }
}

LRESULT PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return EnterBody(
        !OrdinaryMessage(message, lParam),
        [&] { return DefWindowProcA(hwnd, message, wParam, lParam); },
        [&] {
            switch (message) {
            case WM_NOTIFY:
            case WM_DRAWITEM:
                // A child's record lies on this thread's stack; one that does
                // not came from elsewhere and is none of the parent's.
                if (!RecordOnThisStack(lParam, message == WM_NOTIFY ? sizeof(NMHDR)
                                                                    : sizeof(DRAWITEMSTRUCT))) {
                    return DefWindowProcA(hwnd, message, wParam, lParam);
                }
                return SendMessageA(GetParent(hwnd), message, wParam, lParam);
            case WM_COMMAND:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORSTATIC:
                return SendMessageA(GetParent(hwnd), message, wParam, lParam);
            default:
                return DefWindowProcA(hwnd, message, wParam, lParam);
            }
        });
}

} // namespace

const SystemLook& Look() {
    static const SystemLook look = [] {
        SystemLook loaded;
        loaded.arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        loaded.upDown = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_SIZENS));
        const auto application = reinterpret_cast<LPCSTR>(IDI_APPLICATION);
        loaded.icon = static_cast<HICON>(
            LoadImageA(nullptr, application, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        loaded.smallIcon = static_cast<HICON>(LoadImageA(nullptr, application, IMAGE_ICON,
                                                         GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        return loaded;
    }();
    return look;
}

void WindowBase::RegisterWindowClass(const char* className, HBRUSH background) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &MorvelWindowProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = Look().arrow;
    wc.hIcon = Look().icon;
    wc.hIconSm = Look().smallIcon;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    RegisterOnce(wc);
}

void UnregisterWindowClasses() {
    for (const std::string& name : RegisteredClasses()) {
        UnregisterClassA(name.c_str(), ModuleInstance());
    }
    RegisteredClasses().clear();
}

void WindowBase::CreateHandle(DWORD exStyle, const char* className, const char* title, DWORD style,
                              int x, int y, int width, int height, HWND parent) {
    WindowBase* const outer = std::exchange(g_creating, this);
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent,
                                nullptr, ModuleInstance(), this);
    g_creating = outer;
    if (hwnd == nullptr) {
        m_hwnd = nullptr;
        throw Error(std::string("Cannot create window ") + className);
    }
    m_hwnd = hwnd;
    m_created = true;
    NoteWindowThread();
}

LRESULT WindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

void WindowBase::OnHandlerFailure(const char* message) {
    ShowFailure(message);
}

LRESULT WindowBase::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // The window's own messages are asked of its object only while the
    // module's objects live (not at process exit).
    const bool handsThreadOut =
        !OrdinaryMessage(message, lParam) &&
        !(message >= WM_APP && !ProcessExiting() && OrdinaryOwnMessage(hwnd, message));
    return EnterBody(
        handsThreadOut, [&] { return DefWindowProcA(hwnd, message, wParam, lParam); },
        [&] { return Handle(hwnd, message, wParam, lParam); });
}

bool WindowBase::OrdinaryOwnMessage(HWND hwnd, UINT message) {
    const auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self != nullptr && self->OrdinaryOwnMessage(message);
}

LRESULT WindowBase::Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    // The object comes from CreateHandle, never from the message's record:
    // another program can send any window WM_NCCREATE with one of its own.
    if (message == WM_NCCREATE && self == nullptr && g_creating != nullptr) {
        self = std::exchange(g_creating, nullptr);
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

HWND CreatePanel(HWND parent, int id, const char* className) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MorvelPanelProc;
    wc.hInstance = ModuleInstance();
    wc.hCursor = Look().arrow;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterOnce(wc);
    HWND panel = CreateWindowExA(
        WS_EX_CONTROLPARENT, className, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
    if (panel == nullptr) {
        throw Error("Cannot create panel");
    }
    return panel;
}

} // namespace morvel::win

extern "C" {

LRESULT MorvelWindowProcBody(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return morvel::win::WindowBase::Dispatch(hwnd, message, wParam, lParam);
}

LRESULT MorvelPanelProcBody(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return morvel::win::PanelProc(hwnd, message, wParam, lParam);
}

} // extern "C"

MORVEL_STDCALL_ENTRY(MorvelWindowProc, MorvelWindowProcBody, 16);
MORVEL_STDCALL_ENTRY(MorvelPanelProc, MorvelPanelProcBody, 16);
