#include "tools/morvel-score/stop_signal.h"

#include <windows.h>

namespace morvel {

namespace {

volatile LONG g_stopped = 0;
HANDLE g_wake = nullptr; // set by the handler; the wait between rounds ends

// Runs on a thread the system starts for the console's event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        InterlockedExchange(&g_stopped, 1);
        if (g_wake != nullptr) {
            SetEvent(g_wake);
        }
        // Ctrl+C and Ctrl+Break are taken; a console being closed ends the
        // process after the handler anyway.
        return event != CTRL_CLOSE_EVENT ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void InstallStopHandler() {
    g_wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
    return InterlockedCompareExchange(&g_stopped, 0, 0) != 0;
}

bool WaitForStop(int seconds) {
    if (!StopRequested()) {
        const DWORD ms = static_cast<DWORD>(seconds) * 1000;
        if (g_wake != nullptr) {
            WaitForSingleObject(g_wake, ms);
        } else {
            for (DWORD waited = 0; waited < ms && !StopRequested(); waited += 100) {
                Sleep(100);
            }
        }
    }
    return StopRequested();
}

} // namespace morvel
