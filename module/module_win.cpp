#include "module/module_win.h"

#include "contract/text.h"
#include "module/entry_win.h"
#include "oblast/oblast.h"

namespace morvel {

namespace {

HINSTANCE g_instance = nullptr;
DWORD g_windowThread = 0;
bool g_unloading = false;
bool g_processExiting = false;
// The host program's file, noted once when the module is attached: asking
// the loader later would wait for its lock, which another thread may hold.
std::string g_hostProgramPath;
bool g_hostProgramNoted = false;

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

void ProcessMessages() {
    if (!HoldModule()) {
        return; // nothing dispatched while the module cannot be held
    }
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

std::string ModuleFilePath(HMODULE module) {
    return GrowingPath([module](char* buffer, std::uint32_t size) {
        return static_cast<std::uint32_t>(GetModuleFileNameA(module, buffer, size));
    });
}

void NoteHostProgram() {
    try {
        g_hostProgramPath = ModuleFilePath(nullptr);
        g_hostProgramNoted = true;
    } catch (...) {
        g_hostProgramPath.clear(); // no memory: asked again when wanted
    }
}

std::string HostProgramPath() {
    if (!g_hostProgramNoted) {
        NoteHostProgram(); // a program that links this code without the DLL's DllMain
    }
    return g_hostProgramPath;
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
    if (!HoldModule() && ModuleDetaching()) {
        return; // the module goes away on another thread
    }
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
