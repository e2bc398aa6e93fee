#include "tools/morvel-host/multipliers_win.h"

#include "contract/text.h"
#include "tools/morvel-host/handle_win.h"
#include "tools/morvel-host/window_win.h"
#include "ui/control_ids.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace morvel::host {

namespace {

constexpr COLORREF kHighlightColour = RGB(0, 0, 255);
// Beyond this an item's text is taken as cut off at it.
constexpr std::size_t kMaxItemText = 65536;

struct WindowSearch {
    HWND visible = nullptr;
    HWND hidden = nullptr;
};

BOOL CALLBACK MatchMultipliers(HWND window, LPARAM param) {
    char className[64] = {};
    if (GetClassNameA(window, className, sizeof className) == 0 ||
        std::strcmp(className, ui::kDomListClass) != 0) {
        return TRUE;
    }
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (IsWindowVisible(window)) {
        search->visible = window;
        return FALSE;
    }
    if (search->hidden == nullptr) {
        search->hidden = window;
    }
    return TRUE;
}

bool IsButton(HWND window) {
    char className[16] = {};
    return GetClassNameA(window, className, sizeof className) != 0 &&
           lstrcmpiA(className, "Button") == 0;
}

std::string ItemText(HWND list, int index) {
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(SendMessageA(
            list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
        // A text that filled the buffer may have been cut: try a larger one.
        if (length + 1 < buffer.size() || buffer.size() >= kMaxItemText) {
            return std::string(buffer.data(), std::min(length, buffer.size() - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool IsHighlightFont(HDC dc) {
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    LOGFONTA look{};
    if (font == nullptr || GetObjectA(font, sizeof look, &look) != sizeof look) {
        return false;
    }
    return look.lfWeight >= FW_BOLD && look.lfUnderline != 0;
}

// Asks the list's parent how it draws the item, as the list view itself does
// before it paints one, on a DC of its own with the list's font.
bool DrawnHighlighted(HWND list, HWND parent, int index) {
    MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc) {
        throw Error("oblasts: cannot make a device context: " + SystemMessage(GetLastError()));
    }
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_FONT);
    if (const auto listFont = reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0));
        listFont != nullptr) {
        SelectObject(dc.Get(), listFont);
    }
    SetTextColor(dc.Get(), GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc.Get(), GetSysColor(COLOR_WINDOW));

    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list;
    draw.nmcd.hdr.idFrom = static_cast<UINT_PTR>(ui::kBandListId);
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.hdc = dc.Get();
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index);
    draw.nmcd.rc.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&draw.nmcd.rc));
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != FALSE) {
        draw.nmcd.lItemlParam = item.lParam;
    }
    draw.clrText = CLR_DEFAULT;
    draw.clrTextBk = CLR_DEFAULT;

    const LRESULT result = SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(ui::kBandListId),
                                        reinterpret_cast<LPARAM>(&draw));
    const bool highlighted = (result & CDRF_NEWFONT) != 0 && draw.clrText == kHighlightColour &&
                             IsHighlightFont(dc.Get());
    // The DC goes with its own font in it, whatever the handler selected.
    SelectObject(dc.Get(), original);
    return highlighted;
}

} // namespace

HWND FindMultipliersWindow() {
    WindowSearch search;
    EnumThreadWindows(GetCurrentThreadId(), &MatchMultipliers, reinterpret_cast<LPARAM>(&search));
    return search.visible != nullptr ? search.visible : search.hidden;
}

HWND FindBandButton(HWND multipliers, int n) {
    const HWND button = FindControl(multipliers, ui::kFirstBandButtonId + n - 1);
    return button != nullptr && IsButton(button) ? button : nullptr;
}

std::vector<ListedOblast> ReadOblastList(HWND list) {
    const HWND parent = GetParent(list);
    // The list view's first question, whose answer only says whether it
    // will ask about each item.
    {
        MemoryDC dc(CreateCompatibleDC(nullptr));
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = list;
        draw.nmcd.hdr.idFrom = static_cast<UINT_PTR>(ui::kBandListId);
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_PREPAINT;
        draw.nmcd.hdc = dc.Get();
        GetClientRect(list, &draw.nmcd.rc);
        draw.clrText = CLR_DEFAULT;
        draw.clrTextBk = CLR_DEFAULT;
        SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(ui::kBandListId),
                     reinterpret_cast<LPARAM>(&draw));
    }
    const auto count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<ListedOblast> items;
    for (int index = 0; index < count; ++index) {
        ListedOblast item;
        item.code = ItemText(list, index);
        item.highlighted = DrawnHighlighted(list, parent, index);
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace morvel::host
