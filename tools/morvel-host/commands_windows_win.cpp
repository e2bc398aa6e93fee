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
    // Run inside _Run (a line the test host queued), it may find the window
    // there before the host has its handle.
    const HWND main =
        host.ExistingMainWindow() != nullptr ? host.ExistingMainWindow() : ThreadMainFormWindow();
    if (main == nullptr) {
        return "close\t0\n";
    }
    SendMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    host.Pump().Settle();
    return IsWindow(main) && IsIconic(main) ? "close\t1\n" : "close\t0\n";
}

std::string MultCommand(Host& host, const Command&, std::size_t) {
    host.Click(host.Control("mult", ui::kMultipliersButtonId));
    return FindMultipliersWindow() != nullptr ? "mult\t1\n" : "mult\t0\n";
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

} // namespace morvel::host
