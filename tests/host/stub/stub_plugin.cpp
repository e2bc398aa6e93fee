// A stand-in for the plug-in, for the host programs' own tests: the six
// functions with the host's register convention, exported under the host's
// names by stub_plugin.def, and a main window with the controls the host looks
// for.
//
//   _GetInfo     "Stub Contest", 1, "stub_tag", 2
//   _Run         first handles the messages waiting (as a plug-in busy in a
//                long task does), then makes the main window, captioned
//                CaptionPrefix + "Stub"; its
//                statistics EDIT (id 101) shows what the record carried (the
//                connection as "none", "open" when a statement can be made on
//                it, or "bad"); the
//                "Recalc Statistic" button (id 102) sits on a panel. With the
//                caption prefix "box", a task-modal message box first.
//   _GetScore    the call sign's length; for the call sign CRASH, an access
//                violation; for the call sign OPEN, 1 when the file named by
//                MainPrefix (relative to the host program's directory) opens
//                for reading, shared for reading, else minus the error code
//   _AddQSO      1 and -1 by turns
//   _GrabNumber  MainPrefix + " \xC0\\"; for the call sign QUIT it also posts
//                WM_QUIT
//   _Release     destroys the main window
// The recalculation is a posted follow-up message; the second one shows a
// message box of two lines. The close box minimises the window.
#include "contract/contract.h"

#include <windows.h>

#include <sql.h>

#include <string>

namespace {

using morvel::ShortString;
using morvel::TPluginInfo;
using morvel::TQSOData;

constexpr int kStatisticId = 101;
constexpr int kRecalcId = 102;
constexpr int kPanelId = 100;
constexpr UINT kRecalcDone = WM_APP + 1;

HINSTANCE g_instance = nullptr;
HWND g_main = nullptr;
HWND g_statistic = nullptr;
std::string g_text;
int g_recalcs = 0;
int g_adds = 0;

void ShowStatistic() {
    const std::string text = g_text + "\r\nRecalcs: " + std::to_string(g_recalcs);
    SetWindowTextA(g_statistic, text.c_str());
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        return SendMessageA(GetParent(window), message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kRecalcId && HIWORD(wParam) == BN_CLICKED) {
            PostMessageA(window, kRecalcDone, 0, 0);
            return 0;
        }
        break;
    case kRecalcDone:
        ++g_recalcs;
        ShowStatistic();
        if (g_recalcs == 2) {
            MessageBoxA(window, "Line one\r\nline\ttwo", "Recalc", MB_OK | MB_ICONINFORMATION);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            ShowWindow(window, SW_MINIMIZE);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (window == g_main) {
            g_main = nullptr;
            g_statistic = nullptr;
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses() {
    static bool registered = false;
    if (registered) {
        return true;
    }
    WNDCLASSA main = {};
    main.lpfnWndProc = &MainProc;
    main.hInstance = g_instance;
    main.hCursor = LoadCursor(nullptr, IDC_ARROW);
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = "StubMainForm";
    WNDCLASSA panel = main;
    panel.lpfnWndProc = &PanelProc;
    panel.lpszClassName = "StubPanel";
    registered = RegisterClassA(&main) != 0 && RegisterClassA(&panel) != 0;
    return registered;
}

std::string ConnectionState(std::uint32_t value) {
    if (value == 0) {
        return "none";
    }
    SQLHANDLE statement = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(
        SQL_HANDLE_STMT, reinterpret_cast<SQLHANDLE>(std::uintptr_t{value}), &statement);
    if (!SQL_SUCCEEDED(rc)) {
        return "bad";
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return "open";
}

// What a plug-in does when it lets the host's windows breathe in the middle
// of a long task.
void ProcessMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::int32_t OpenBesideHost(const std::string& name) {
    char program[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string path(program, length < MAX_PATH ? length : 0);
    path.erase(path.find_last_of("\\/") + 1);
    const HANDLE file = CreateFileA((path + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -static_cast<std::int32_t>(GetLastError());
    }
    CloseHandle(file);
    return 1;
}

HMENU Id(int id) {
    return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
}

} // namespace

extern "C" {

MORVEL_HOST_CALL void StubGetInfo(TPluginInfo* info) {
    info->ContestName.Assign("Stub Contest");
    info->InfoWord1.set(1);
    info->PluginTag.Assign("stub_tag");
    info->InfoWord2.set(2);
}

MORVEL_HOST_CALL std::uintptr_t StubRun(std::int32_t, const TQSOData* data) {
    ProcessMessages();
    if (g_main != nullptr) {
        return reinterpret_cast<std::uintptr_t>(g_main);
    }
    if (!RegisterClasses()) {
        return 0;
    }
    const std::string caption = data->CaptionPrefix.Str() + "Stub";
    g_main = CreateWindowExA(WS_EX_TOPMOST, "StubMainForm", caption.c_str(), WS_OVERLAPPEDWINDOW,
                             10, 10, 320, 240, nullptr, nullptr, g_instance, nullptr);
    if (g_main == nullptr) {
        return 0;
    }
    g_statistic = CreateWindowExA(0, "EDIT", "",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                                  0, 0, 300, 160, g_main, Id(kStatisticId), g_instance, nullptr);
    const HWND panel = CreateWindowExA(0, "StubPanel", "", WS_CHILD | WS_VISIBLE, 0, 170, 300, 40,
                                       g_main, Id(kPanelId), g_instance, nullptr);
    CreateWindowExA(0, "BUTTON", "Recalc Statistic", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                    140, 30, panel, Id(kRecalcId), g_instance, nullptr);
    g_text = "Table: " + data->TableName.Str() +
             "\r\nConnection: " + ConnectionState(data->ConnectionValue()) +
             "\r\nRun by: " + data->CallSign.Str();
    g_recalcs = 0;
    ShowStatistic();
    ShowWindow(g_main, SW_SHOWNOACTIVATE);
    if (data->CaptionPrefix.View() == "box") {
        MessageBoxA(nullptr, "hello", "caption", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    }
    return reinterpret_cast<std::uintptr_t>(g_main);
}

MORVEL_HOST_CALL std::int32_t StubGetScore(const TQSOData* data) {
    if (data->CallSign.View() == "CRASH") {
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    if (data->CallSign.View() == "OPEN") {
        return OpenBesideHost(data->MainPrefix.Str());
    }
    return static_cast<std::int32_t>(data->CallSign.Length());
}

MORVEL_HOST_CALL std::int32_t StubAddQSO(const TQSOData*) {
    return g_adds++ % 2 == 0 ? 1 : -1;
}

MORVEL_HOST_CALL void StubGrabNumber(const TQSOData* data, ShortString* number) {
    number->Assign(data->MainPrefix.Str() + " \xC0\\");
    if (data->CallSign.View() == "QUIT") {
        PostQuitMessage(0);
    }
}

MORVEL_HOST_CALL void StubRelease() {
    if (g_main != nullptr) {
        DestroyWindow(g_main);
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
    }
    return TRUE;
}

} // extern "C"
