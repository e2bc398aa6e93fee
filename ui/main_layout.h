// The main window's layout: sizes designed at 96 pixels per inch, scaled to the
// screen, and the anchoring of the controls when the window is resized.
#pragma once

#include "ui/placement.h"

namespace morvel::ui {

inline constexpr int kDesignDpi = 96;

// v at 96 pixels per inch, scaled to dpi and rounded to nearest.
int Scale(int v, int dpi);

// The main window at design: client area, position.
inline constexpr int kMainClientWidth = 362;
inline constexpr int kMainClientHeight = 155;
inline constexpr int kMainLeft = 932;
inline constexpr int kMainTop = 187;
// Font heights (negative: character height), at design.
inline constexpr int kFormFontHeight = -11;
inline constexpr int kMemoFontHeight = -11;

struct MainLayout {
    Rect statistic;   // myStatisticM, in the client area
    Rect panel;       // Panel1, in the client area
    Rect recalc;      // BitBtn1, in Panel1
    Rect multipliers; // btnOBL1, in Panel1
};

// The controls for a client area of the given size: the panel along the
// bottom, the text area above it, both buttons anchored to the panel's right.
MainLayout LayOutMainForm(int clientWidth, int clientHeight, int dpi);

} // namespace morvel::ui
