// Windows and clicks: the plug-in's windows found by their classes and
// controls, clicked and closed as the operator would, and read back.
#include "contract/text.h"
#include "tools/morvel-host/commands_win.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <cstring>
#include <vector>

namespace morvel::host {

namespace {

BOOL CALLBACK MatchMainForm(HWND window, LPARAM param) {
    char className[64] = {};
    if (GetClassNameA(window, className, sizeof className) != 0 &&
        std::strcmp(className, ui::kMainFormClass) == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// A main window of the plug-in's class on this thread, or null.
HWND ThreadMainFormWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &MatchMainForm, reinterpret_cast<LPARAM>(&found));
    return found;
}

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

} // namespace

std::string RecalcCommand(Host& host, const Command& command, std::size_t) {
    const HWND button = host.Control("recalc", ui::kRecalcButtonId);
    if (command.noWait) {
        SendMessageA(button, BM_CLICK, 0, 0);
        host.HoldMessagesUntilNextCommand();
    } else {
        host.Click(button);
    }
    return "recalc\n";
}

std::string CaptionCommand(Host& host, const Command&, std::size_t) {
    return "caption\t" + OneLine(WindowText(host.MainWindow("caption"))) + "\n";
}

std::string CloseCommand(Host& host, const Command&, std::size_t) {
    // Inside _Run (a queued line) the window may exist before the host has
    // its handle.
    const HWND main =
        host.ExistingMainWindow() != nullptr ? host.ExistingMainWindow() : ThreadMainFormWindow();
    if (main == nullptr) {
        return "close\t0\n";
    }
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    host.Pump().Settle();
    return IsWindow(main) && IsIconic(main) ? "close\t1\n" : "close\t0\n";
}

std::string CloseWindowCommand(Host& host, const Command&, std::size_t) {
    const HWND main = host.ExistingMainWindow();
    if (main != nullptr) {
        SendMessageA(main, WM_CLOSE, 0, 0);
        host.Pump().Settle();
    }
    const bool shown = main != nullptr && IsWindow(main) && IsWindowVisible(main);
    return shown ? "closewindow\t0\n" : "closewindow\t1\n";
}

std::string MultCommand(Host& host, const Command&, std::size_t) {
    host.Click(host.Control("mult", ui::kMultipliersButtonId));
    return FindMultipliersWindow() != nullptr ? "mult\t1\n" : "mult\t0\n";
}

std::string MultCloseCommand(Host& host, const Command&, std::size_t) {
    if (const HWND multipliers = FindMultipliersWindow(); multipliers != nullptr) {
        SendMessageA(multipliers, WM_CLOSE, 0, 0);
        host.Pump().Settle();
    }
    return FindMultipliersWindow() == nullptr ? "multclose\t1\n" : "multclose\t0\n";
}

std::string BandCommand(Host& host, const Command& command, std::size_t) {
    const HWND button = FindBandButton(host.Multipliers("band"), command.band);
    if (button == nullptr) {
        throw ScriptError("band: the multipliers window has no band button " +
                          std::to_string(command.band) + " (a BUTTON with id " +
                          std::to_string(ui::kFirstBandButtonId + command.band - 1) + ")");
    }
    host.Click(button);
    return "band\t" + std::to_string(command.band) + "\n";
}

std::string OblastsCommand(Host& host, const Command&, std::size_t) {
    const HWND list = FindControl(host.Multipliers("oblasts"), ui::kBandListId);
    if (list == nullptr) {
        throw ScriptError("oblasts: the multipliers window has no list (id " +
                          std::to_string(ui::kBandListId) + ")");
    }
    const std::vector<ListedOblast> items = ReadOblastList(list);
    std::string out = "oblasts\t" + std::to_string(items.size()) + "\n";
    for (const ListedOblast& item : items) {
        out += HexEscape(item.code) + (item.highlighted ? "\t1\n" : "\t0\n");
    }
    return out;
}

std::string BandNowCommand(Host&, const Command&, std::size_t) {
    const HWND multipliers = FindMultipliersWindow();
    return "bandnow\t" + std::to_string(multipliers != nullptr ? PressedBand(multipliers) : 0) +
           "\n";
}

std::string WindowsCommand(Host&, const Command&, std::size_t) {
    return "windows\t" + std::to_string(VisibleThreadWindows()) + "\n";
}

std::string StateCommand(Host& host, const Command&, std::size_t) {
    return "state\t" + MainWindowState(host) + "\n";
}

// As the operator's drag ends: the system's enter and exit messages around the
// move.
std::string MoveCommand(Host& host, const Command& command, std::size_t) {
    const HWND main = host.MainWindow("move");
    SendMessageA(main, WM_ENTERSIZEMOVE, 0, 0);
    SetWindowPos(main, nullptr, command.x, command.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(main, WM_EXITSIZEMOVE, 0, 0);
    host.Pump().Settle();
    return "move\n";
}

// The operator's mouse over every visible window of the thread and each of
// its controls in turn, through the system's own input (the pointer moved).
std::string HoverCommand(Host& host, const Command&, std::size_t) {
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
std::string RepaintCommand(Host& host, const Command&, std::size_t) {
    for (HWND window : VisibleWindows(false)) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    host.Pump().Settle();
    return "repaint\n";
}

} // namespace morvel::host
