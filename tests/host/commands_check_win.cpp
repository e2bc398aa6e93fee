// The multiplier check window and the plug-in's items in the system menus:
// opened and toggled as the operator does, and read through the window's own
// texts (the grid's window text is its content).
#include "tests/host/commands_win.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <cstring>
#include <utility>
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

namespace {

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
    auto& [name, found] = *reinterpret_cast<std::pair<const char*, HWND>*>(param);
    char cls[64] = {};
    if (IsWindowVisible(window) && GetClassNameA(window, cls, sizeof cls) > 0 &&
        std::strcmp(cls, name) == 0) {
        found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisible(const char* name) {
    std::pair<const char*, HWND> match{name, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &MatchClass, reinterpret_cast<LPARAM>(&match));
    return match.second;
}

} // namespace

std::string CheckViewCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const HWND check = FindCheckWindow();
    if (check == nullptr) {
        return "checkview\tnone\n";
    }
    if (Arguments(command).dismiss) {
        // As the operator clicks it: only a button in view.
        const HWND button = GetDlgItem(check, ui::kCheckDismissId);
        if (button == nullptr || !IsWindowVisible(button)) {
            throw ScriptError("checkview dismiss: the Dismiss button is not shown");
        }
        host.Click(button);
    }
    std::string out;
    const std::pair<const char*, int> texts[] = {
        {"rate", ui::kCheckRateId},       {"alert", ui::kCheckAlertId},
        {"history", ui::kCheckHistoryId}, {"warning", ui::kCheckWarningId},
        {"dxcc", ui::kCheckDxccTitleId},
    };
    for (const auto& [name, id] : texts) {
        std::string text = WindowText(GetDlgItem(check, id));
        if (id == ui::kCheckRateId) {
            // The hourly rates depend on the seconds the run took: the last
            // hour's contacts per band do not.
            const std::size_t at = text.find("last hour:");
            text = at == std::string::npos ? "(no last hour) " + text : text.substr(at);
        }
        out += std::string("checkview\t") + name + "\t" + text + "\n";
    }
    const HWND list = GetDlgItem(check, ui::kCheckDxccListId);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    std::string items;
    for (LRESULT i = 0; i < count && i < 1000; ++i) {
        char item[256] = {};
        if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < LRESULT{sizeof item}) {
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        }
        items += (i == 0 ? "" : " ") + std::string(item);
    }
    out += "checkview\tdxcc list\t" + items + "\n";
    const HWND dismiss = GetDlgItem(check, ui::kCheckDismissId);
    out += std::string("checkview\tdismiss\t") + (IsWindowVisible(dismiss) ? "shown" : "hidden") +
           "\n";
    const LRESULT typed =
        SendMessageA(GetDlgItem(check, ui::kCheckGridId), ui::kCheckTypedRowMessage, 0, 0);
    out += std::string("checkview\ttyped\t") +
           (typed == 1   ? "in view"
            : typed == 2 ? "out of view"
                         : "none") +
           "\n";
    // Where the check is against the other two and its monitor's work area.
    RECT own{};
    GetWindowRect(check, &own);
    for (const auto& [name, cls] : {std::pair<const char*, const char*>{"main", ui::kMainFormClass},
                                    {"mult", ui::kDomListClass}}) {
        const HWND other = FindVisible(cls);
        RECT r{};
        RECT common{};
        if (other != nullptr && GetWindowRect(other, &r)) {
            out += std::string("checkview\tcovers ") + name + "\t" +
                   (IntersectRect(&common, &own, &r) ? "yes" : "no") + "\n";
        }
    }
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromWindow(check, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& w = info.rcWork;
    out += std::string("checkview\ton the work area\t") +
           (own.left >= w.left && own.top >= w.top && own.right <= w.right && own.bottom <= w.bottom
                ? "yes"
                : "no") +
           "\n";
    return out;
}

} // namespace morvel::host
