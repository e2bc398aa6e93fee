// The multipliers window's logic: the list of oblast codes,
// the band buttons' layout and the highlight of worked codes. Pure and
// portable; the window itself is multipliers_win.cpp.
#pragma once

#include "scoring/scoring.h"
#include "session/bands.h"
#include "ui/placement.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvel::ui {

// The band buttons laid out across a panel of the given size: equal widths
// side by side, the last one ending 4 pixels before the panel's right edge. A
// last width below zero is not applied (nullopt there).
struct BandButtonLayout {
    PerBand<Rect> buttons;
    bool lastWidthApplied = true;
};
std::optional<BandButtonLayout> Panel2Resize(int panelWidth, int panelHeight);

enum class ItemLook {
    Default,     // no worked oblast at all: the list view's own font and colour
    Plain,       // black
    Highlighted, // blue, bold and underlined
};

// How a code is drawn: highlighted when some key of OblWorked contains
// CurrentBandText + "|" + code + "|" (so with no band selected, a code worked
// on any band is highlighted). The answers are kept per probe and extended
// only by the keys added since, so a repaint does not walk the whole list.
class Highlighter {
public:
    ItemLook Look(const WorkedList& oblWorked, std::string_view currentBandText,
                  std::string_view code);

private:
    struct Known {
        std::size_t checked = 0; // keys looked at so far
        bool found = false;
    };
    std::unordered_map<std::string, Known> m_known;
    const WorkedList* m_list = nullptr;
    std::uint64_t m_generation = 0;
};

} // namespace morvel::ui
