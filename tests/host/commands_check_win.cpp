// The multiplier check window and the plug-in's items in the system menus:
// opened and toggled as the operator does, and read through the window's own
// texts (the grid's window text is its content).
#include "tests/host/commands_win.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <cstring>
#include <vector>

namespace morvel::host {

namespace {

BOOL CALLBACK MatchCheckWindow(HWND window, LPARAM param) {
    char name[64] = {};
    if (IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) > 0 &&
        std::strcmp(name, ui::kMultCheckClass) == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// The lines of a text, split at CR LF (a last line without one too).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

} // namespace

HWND FindCheckWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &MatchCheckWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string SystemMenuCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const TestArguments& arguments = Arguments(command);
    const HWND window = arguments.window == "main"   ? host.MainWindow("sysmenu")
                        : arguments.window == "mult" ? host.Multipliers("sysmenu")
                                                     : FindCheckWindow();
    if (window == nullptr) {
        throw ScriptError("sysmenu: there is no multiplier check window");
    }
    const UINT item = arguments.item == "check"   ? kMenuMultiplierCheck
                      : arguments.item == "ontop" ? kMenuAlwaysOnTop
                                                  : kMenuRecalcEvery5Minutes;
    SendMessageA(window, WM_SYSCOMMAND, item, 0);
    host.Pump().Settle();
    std::string line = "sysmenu\t" + arguments.window + "\t" + arguments.item + "\t";
    const HMENU menu = IsWindow(window) ? GetSystemMenu(window, FALSE) : nullptr;
    const UINT state = menu != nullptr ? GetMenuState(menu, item, MF_BYCOMMAND) : 0xFFFFFFFF;
    if (state == 0xFFFFFFFF) {
        line += "-";
    } else if (arguments.item == "check") {
        line += "-";
    } else {
        line += (state & MF_CHECKED) != 0 ? "1" : "0";
    }
    if (arguments.item == "ontop" && IsWindow(window)) {
        line += (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? "\ttopmost 1"
                                                                              : "\ttopmost 0";
    }
    return line + "\n";
}

std::string CheckCommand(Host&, TestSession&, const Command&, std::size_t) {
    const HWND check = FindCheckWindow();
    if (check == nullptr) {
        return "check\tnone\n";
    }
    std::string out =
        "check\theadline\t" + WindowText(GetDlgItem(check, ui::kCheckHeadlineId)) + "\n";
    for (const std::string& line : Lines(WindowText(GetDlgItem(check, ui::kCheckStationId)))) {
        out += "check\tstation\t" + line + "\n";
    }
    const std::vector<std::string> grid = Lines(WindowText(GetDlgItem(check, ui::kCheckGridId)));
    out += "check\tgrid\t" + std::to_string(grid.size()) + "\n";
    for (const std::string& line : grid) {
        out += line + "\n";
    }
    return out;
}

} // namespace morvel::host
