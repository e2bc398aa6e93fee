// A neighbour of the plug-in in the logger's process, as rig-control, keyer
// and cluster libraries built with MinGW are: it uses the shared runtime DLL
// (libgcc_s_dw2-1.dll) for its own exceptions, and its DllMain sends to the
// plug-in's main window. Built with -shared-libgcc; morvel-host's "library"
// command loads it and calls the two exports.
#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace {

// What the DllMain's message to the plug-in's main window got: 1 an answer,
// 0 none within two seconds, -1 there was no such window in the process.
int g_sent = -1;

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[64] = {};
    if (process == GetCurrentProcessId() && GetClassNameA(window, name, sizeof name) > 0 &&
        std::strcmp(name, "TfmMainForm") == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

extern "C" __declspec(dllexport) int NeighbourThrow() {
    try {
        throw std::runtime_error("the neighbour's own failure");
    } catch (const std::runtime_error&) {
        return 1;
    }
}

extern "C" __declspec(dllexport) int NeighbourSent() {
    return g_sent;
}

// Called while the loader's lock is held, as every DllMain is.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        HWND window = nullptr;
        EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&window));
        if (window != nullptr) {
            DWORD_PTR answer = 0;
            g_sent = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &answer) != 0;
        }
    }
    return TRUE;
}
