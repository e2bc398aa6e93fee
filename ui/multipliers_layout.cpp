#include "ui/multipliers_layout.h"

#include "contract/text.h"

#include <limits>

namespace morvel::ui {

std::optional<BandButtonLayout> Panel2Resize(int panelWidth, int panelHeight) {
    constexpr int n = static_cast<int>(kBandCount);
    if (panelWidth == 0) {
        return std::nullopt;
    }
    const int w = panelWidth / n;
    // One pixel short of the panel's height; the lowest height stays as it is
    // rather than wrap round to the highest.
    const int h = panelHeight > std::numeric_limits<int>::min() ? panelHeight - 1 : panelHeight;
    BandButtonLayout layout;
    for (const Band band : AllBands) {
        const int k = static_cast<int>(band.Index());
        layout.buttons[band] = {k * w, 0, k * w + w, h};
    }
    const long long lastWidth = static_cast<long long>(panelWidth) - (n - 1) * w - 4;
    Rect& last = layout.buttons[AllBands.back()];
    if (lastWidth >= 0) {
        last.right = last.left + static_cast<int>(lastWidth);
    } else {
        layout.lastWidthApplied = false;
    }
    return layout;
}

ItemLook Highlighter::Look(const WorkedList& worked, std::string_view currentBandText,
                           std::string_view code) {
    // The worked list only grows between recalculations; another list or a
    // new generation means it was rebuilt, and what was known no longer holds.
    if (&worked != m_list || worked.Generation() != m_generation) {
        m_known.clear();
        m_list = &worked;
        m_generation = worked.Generation();
    }
    const std::vector<std::string>& oblWorked = worked.Keys();
    if (oblWorked.empty()) {
        return ItemLook::Default;
    }
    std::string probe(currentBandText);
    probe += '|';
    probe += code;
    probe += '|';
    Known& known = m_known[probe];
    for (; !known.found && known.checked < oblWorked.size(); ++known.checked) {
        known.found = oblWorked[known.checked].find(probe) != std::string::npos;
    }
    return known.found ? ItemLook::Highlighted : ItemLook::Plain;
}

} // namespace morvel::ui
