// The persistent window settings: what is written, in which order and form,
// and how stored texts are read back. Pure logic; the registry access lives in
// form_storage_win.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvel::ui {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

// A window's placement as the platform reports and takes it.
struct Placement {
    int flags = 0;
    int showCmd = 1;
    Point minPosition;
    Point maxPosition;
    Rect normal;
    bool operator==(const Placement&) const = default;
};

struct Screen {
    int width = 0;
    int height = 0;
    int pixelsPerInch = 96;
};

using Values = std::vector<std::pair<std::string, std::string>>;

// The values of one save, in the order they are written. currentBand is the
// main window's stored value; nullopt for a window without one.
Values PlacementValues(const Placement& placement, const Screen& screen, bool destroying,
                       const std::optional<std::string>& currentBand);

// Four integers separated by blanks or commas; a missing or malformed number
// takes its default.
std::array<int, 4> ParsePositions(std::string_view text, const std::array<int, 4>& defaults);

// A decimal integer text (optional sign); nullopt when it is not one or does
// not fit in 32 bits.
std::optional<std::int32_t> ParseInt(std::string_view text);

// Reads a stored value; nullopt when absent.
using ValueReader = std::function<std::optional<std::string>(const std::string& name)>;

// What a read gives: the placement to apply, or nothing when no position is
// stored or the stored one does not apply (other pixels per inch, or a right
// edge not beyond the left). withState: the main window also takes its state
// (maximised or normal) from "ShowCmd".
std::optional<Placement> StoredPlacement(const ValueReader& read, const Screen& screen,
                                         const Placement& current, bool withState);

// The main window's show state from a stored "ShowCmd": 3 gives maximised,
// every other code a normal window.
int ShowCmdToApply(std::optional<std::int32_t> stored);

// Moves (and if need be shrinks) a window rectangle so that it lies wholly
// inside the work area.
Rect FitInto(const Rect& window, const Rect& workArea);

// A window rectangle as it may be applied or stored: the rectangle itself
// when it meets a monitor (meetsAMonitor) and is no wider and no taller than
// workArea, the work area of the monitor it meets most or lies nearest to;
// otherwise fitted into that work area. One that covers every monitor is
// fitted too: the system would put its top left corner where no monitor is.
Rect KeptOnWorkArea(const Rect& window, bool meetsAMonitor, const Rect& workArea);

// The window rectangle after the window's pixels per inch changed from
// oldDpi to newDpi: the one suggested with the change, when it has a width
// and a height; else the current one, its top left corner kept and its size
// scaled.
Rect DpiChangedRect(const Rect& current, int oldDpi, int newDpi, const Rect& suggested);

} // namespace morvel::ui
