// The plug-in's multipliers window as the host sees it: found by its class
// among this thread's top-level windows, its band buttons by their ids, and
// its list read item by item, each with the look the window gives it when the
// list asks how to draw it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace morvel::host {

// The multipliers window (class ui::kDomListClass) of this thread, visible or
// not; a visible one when there are several; null when there is none.
HWND FindMultipliersWindow();

// The BUTTON for band n (1-9) in the window, or null.
HWND FindBandButton(HWND multipliers, int n);

struct ListedOblast {
    std::string code;
    bool highlighted = false;
};

// The list view's items in list order. highlighted is what the list's parent
// answers to NM_CUSTOMDRAW for the item: drawn in blue (RGB(0, 0, 255)) with
// a bold, underlined font it selected into the DC, and CDRF_NEWFONT.
std::vector<ListedOblast> ReadOblastList(HWND list);

} // namespace morvel::host
