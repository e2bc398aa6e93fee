// Windows and their state: the plug-in's windows closed as the system closes
// them, counted, moved as the operator drags them, hovered over and painted
// again, and the pressed band read back.
#include "tests/host/commands_win.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <vector>

namespace morvel::host {

namespace {

BOOL CALLBACK CountVisible(HWND window, LPARAM param) {
    *reinterpret_cast<int*>(param) += IsWindowVisible(window) ? 1 : 0;
    return TRUE;
}

int VisibleThreadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) {
        try {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        } catch (...) {
            return FALSE; // no memory: the windows found so far
        }
    }
    return TRUE;
}

// The visible top-level windows of this thread, and with children also
// their visible descendants, each after its parent.
std::vector<HWND> VisibleWindows(bool children) {
    std::vector<HWND> tops;
    EnumThreadWindows(GetCurrentThreadId(), &CollectVisible, reinterpret_cast<LPARAM>(&tops));
    if (!children) {
        return tops;
    }
    std::vector<HWND> all;
    for (HWND top : tops) {
        all.push_back(top);
        EnumChildWindows(top, &CollectVisible, reinterpret_cast<LPARAM>(&all));
    }
    return all;
}

std::string MainWindowState(const Host& host) {
    const HWND main = host.ExistingMainWindow();
    if (main == nullptr) {
        return "none";
    }
    if (!IsWindowVisible(main)) {
        return "hidden";
    }
    return IsIconic(main) ? "minimised" : IsZoomed(main) ? "maximised" : "normal";
}

// The band whose button is checked, 0 when none is.
int PressedBand(HWND multipliers) {
    for (int n = 1; n <= kBandButtons; ++n) {
        const HWND button = FindBandButton(multipliers, n);
        if (button != nullptr && SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return n;
        }
    }
    return 0;
}

} // namespace

std::string CloseWindowCommand(Host& host, TestSession&, const Command&, std::size_t) {
    const HWND main = host.ExistingMainWindow();
    if (main != nullptr) {
        SendMessageA(main, WM_CLOSE, 0, 0);
        host.Pump().Settle();
    }
    const bool shown = main != nullptr && IsWindow(main) && IsWindowVisible(main);
    return shown ? "closewindow\t0\n" : "closewindow\t1\n";
}

std::string MultCloseCommand(Host& host, TestSession&, const Command&, std::size_t) {
    if (const HWND multipliers = FindMultipliersWindow(); multipliers != nullptr) {
        SendMessageA(multipliers, WM_CLOSE, 0, 0);
        host.Pump().Settle();
    }
    return FindMultipliersWindow() == nullptr ? "multclose\t1\n" : "multclose\t0\n";
}

std::string BandNowCommand(Host&, TestSession&, const Command&, std::size_t) {
    const HWND multipliers = FindMultipliersWindow();
    return "bandnow\t" + std::to_string(multipliers != nullptr ? PressedBand(multipliers) : 0) +
           "\n";
}

std::string WindowsCommand(Host&, TestSession&, const Command&, std::size_t) {
    return "windows\t" + std::to_string(VisibleThreadWindows()) + "\n";
}

std::string StateCommand(Host& host, TestSession&, const Command&, std::size_t) {
    return "state\t" + MainWindowState(host) + "\n";
}

// As the operator's drag ends: the system's enter and exit messages around the
// move.
std::string MoveCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const TestArguments& position = Arguments(command);
    const HWND main = host.MainWindow("move");
    SendMessageA(main, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(main, nullptr, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(main, WM_EXITSIZEMOVE, 0, 0);
    host.Pump().Settle();
    return "move\n";
}

// The operator's mouse over every visible window of the thread and each of
// its controls in turn, through the system's own input (the pointer moved).
std::string HoverCommand(Host& host, TestSession&, const Command&, std::size_t) {
    for (HWND window : VisibleWindows(true)) {
        RECT r{};
        if (IsWindow(window) && GetWindowRect(window, &r)) {
            SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            host.Pump().Settle();
        }
    }
    SetCursorPos(0, 0);
    host.Pump().Settle();
    return "hover\n";
}

// Every visible window of the thread uncovered: frames, areas and controls
// to be painted again; the messages must run out.
std::string RepaintCommand(Host& host, TestSession&, const Command&, std::size_t) {
    for (HWND window : VisibleWindows(false)) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    host.Pump().Settle();
    return "repaint\n";
}

// A message posted to one of the plug-in's windows, as any program on the
// desktop can post one, with whatever parameters.
std::string PostMessageCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const TestArguments& arguments = Arguments(command);
    const HWND window = arguments.window == "main"   ? host.MainWindow("postmsg")
                        : arguments.window == "mult" ? host.Multipliers("postmsg")
                                                     : FindCheckWindow();
    if (window == nullptr) {
        throw ScriptError("postmsg: there is no multiplier check window");
    }
    if (!PostMessageA(window, arguments.message, arguments.wParam,
                      static_cast<LPARAM>(static_cast<std::int32_t>(arguments.lParam)))) {
        // The system posts no message of its own whose parameters are pointers.
        return "postmsg\trefused\t" + SystemMessage(GetLastError()) + "\n";
    }
    host.Pump().Settle();
    return "postmsg\n";
}

} // namespace morvel::host
