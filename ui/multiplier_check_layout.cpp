#include "ui/multiplier_check_layout.h"

#include "contract/text.h"
#include "ui/main_layout.h"

#include <algorithm>

namespace morvel::ui {

CheckFormLayout LayOutCheck(int width, int height, int dpi) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const int margin = Scale(4, dpi);
    const auto line = [&](int& top, int design) {
        const int bottom = std::min(height, top + Scale(design, dpi));
        const Rect r{margin, top, std::max(margin, width - margin), bottom};
        top = bottom;
        return r;
    };
    CheckFormLayout l;
    int top = std::min(height, margin / 2);
    l.headline = line(top, kCheckHeadlineHeight);
    l.rate = line(top, kCheckRateHeight);
    l.station = line(top, kCheckStationHeight);
    l.alert = line(top, kCheckAlertHeight);
    // The alert takes what it needs at the left, the history the rest.
    l.history = l.alert;
    l.alert.right = std::min(l.alert.right, l.alert.left + Scale(300, dpi));
    l.history.left = std::min(l.alert.right + margin, l.history.right);
    l.warning = line(top, kCheckWarningHeight);
    l.dismiss = l.warning;
    l.dismiss.left = std::max(l.warning.left, l.warning.right - Scale(60, dpi));
    l.warning.right = std::max(l.warning.left, l.dismiss.left - margin);
    const int list = std::min(Scale(kCheckDxccWidth, dpi), std::max(0, width - 2 * margin));
    l.dxccTitle = {width - margin - list, top, width - margin,
                   std::min(height, top + Scale(kCheckDxccTitleHeight, dpi))};
    l.dxccList = {l.dxccTitle.left, l.dxccTitle.bottom, l.dxccTitle.right, height - margin / 2};
    l.grid = {margin, top, std::max(margin, l.dxccTitle.left - margin), height};
    return l;
}

CheckGridLayout::CheckGridLayout(int width, int height, int dpi, std::size_t rows)
    : m_codeWidth(Scale(30, dpi)), m_cellWidth(Scale(18, dpi)), m_gap(Scale(6, dpi)),
      m_rowHeight(Scale(13, dpi)), m_lineHeight(Scale(14, dpi)),
      m_stripHeight(3 * Scale(14, dpi) + Scale(4, dpi)), m_width(std::max(width, 0)),
      m_labelWidth(Scale(40, dpi)) {
    // A block of no width (every width rounds to nothing at a density of a
    // pixel an inch) is one block, as one too wide for the window is.
    const int blockWidth = RowWidth() + m_gap;
    const std::size_t widest =
        blockWidth == 0
            ? 1
            : static_cast<std::size_t>(std::max(1, (std::max(width, 0) + m_gap) / blockWidth));
    const int rowHeight = std::max(1, m_rowHeight);
    const int below = std::max(0, height - m_stripHeight - m_rowHeight);
    std::size_t fit = static_cast<std::size_t>(below / rowHeight);
    if (rows == 0) {
        m_blocks = 1;
    } else if (fit > 0 && (rows + widest - 1) / widest <= fit) {
        // Every row in view: as few blocks as that takes.
        m_blocks = (rows + fit - 1) / fit;
    } else {
        // Not all in view: as many blocks as the width holds, and a line
        // below the rows that says so.
        m_blocks = widest;
        fit = static_cast<std::size_t>(std::max(0, below - m_lineHeight) / rowHeight);
    }
    m_rowsPerBlock = rows == 0 ? 0 : (rows + m_blocks - 1) / m_blocks;
    // Fewer blocks when the rows fit in fewer: no empty block at the right.
    if (m_rowsPerBlock != 0) {
        m_blocks = (rows + m_rowsPerBlock - 1) / m_rowsPerBlock;
    }
    m_visibleRows = std::min(fit, m_rowsPerBlock);
}

std::optional<Rect> CheckGridLayout::RowRect(std::size_t row, std::size_t scroll) const {
    if (m_rowsPerBlock == 0) {
        return std::nullopt;
    }
    const std::size_t block = row / m_rowsPerBlock;
    const std::size_t inBlock = row % m_rowsPerBlock;
    if (inBlock < scroll || inBlock - scroll >= m_visibleRows) {
        return std::nullopt;
    }
    const int left = BlockLeft(block);
    const int top = m_stripHeight + m_rowHeight + static_cast<int>(inBlock - scroll) * m_rowHeight;
    return Rect{left, top, left + RowWidth(), top + m_rowHeight};
}

int CheckGridLayout::RowWidth() const {
    return m_codeWidth + static_cast<int>(kBandCount) * m_cellWidth;
}

int CheckGridLayout::BlockLeft(std::size_t block) const {
    return static_cast<int>(block) * (RowWidth() + m_gap);
}

Rect CheckGridLayout::HeaderCell(std::size_t block, Band band) const {
    const int left = BlockLeft(block) + BandLeft(band);
    return {left, HeaderTop(), left + m_cellWidth, HeaderTop() + m_rowHeight};
}

Rect CheckGridLayout::StripLabel(int line) const {
    return {0, line * m_lineHeight, m_labelWidth, (line + 1) * m_lineHeight};
}

Rect CheckGridLayout::StripCell(int line, Band band) const {
    const int column = std::max(1, (m_width - m_labelWidth) / static_cast<int>(kBandCount));
    const int left = m_labelWidth + static_cast<int>(band.Index()) * column;
    return {left, line * m_lineHeight, left + column, (line + 1) * m_lineHeight};
}

std::optional<Rect> CheckGridLayout::Sign() const {
    if (AllInView()) {
        return std::nullopt;
    }
    const int top = m_stripHeight + m_rowHeight + static_cast<int>(m_visibleRows) * m_rowHeight;
    return Rect{0, top, m_width, top + m_lineHeight};
}

CheckGridLayout::Hidden CheckGridLayout::HiddenRows(std::size_t rows, std::size_t scroll) const {
    Hidden hidden;
    if (m_rowsPerBlock == 0) {
        return hidden;
    }
    scroll = std::min(scroll, MaxScroll());
    for (std::size_t block = 0; block < m_blocks; ++block) {
        const std::size_t first = block * m_rowsPerBlock;
        const std::size_t inBlock = std::min(m_rowsPerBlock, rows > first ? rows - first : 0);
        const std::size_t above = std::min(scroll, inBlock);
        hidden.above += above;
        hidden.below += inBlock - above - std::min(inBlock - above, m_visibleRows);
    }
    return hidden;
}

std::size_t CheckGridLayout::ScrollFor(std::size_t row, std::size_t scroll) const {
    if (m_rowsPerBlock == 0 || m_visibleRows == 0) {
        return scroll;
    }
    const std::size_t inBlock = row % m_rowsPerBlock;
    if (inBlock < scroll) {
        return inBlock;
    }
    if (inBlock >= scroll + m_visibleRows) {
        return std::min(inBlock + 1 - m_visibleRows, MaxScroll());
    }
    return std::min(scroll, MaxScroll());
}

std::optional<Rect> CheckGridLayout::CodeRect(std::size_t row, std::size_t scroll) const {
    auto r = RowRect(row, scroll);
    if (r) {
        r->right = r->left + m_codeWidth;
    }
    return r;
}

std::optional<Rect> CheckGridLayout::CellRect(std::size_t row, Band band,
                                              std::size_t scroll) const {
    auto r = RowRect(row, scroll);
    if (r) {
        r->left += BandLeft(band);
        r->right = r->left + m_cellWidth;
    }
    return r;
}

std::string HiddenRowsText(const CheckGridLayout::Hidden& hidden) {
    std::string text;
    if (hidden.above > 0) {
        text += "^ " + std::to_string(hidden.above) + " rows above";
    }
    if (hidden.below > 0) {
        text += (text.empty() ? "" : "   ") + std::string("v ") + std::to_string(hidden.below) +
                " rows below";
    }
    return text.empty() ? text : text + ": scroll or enlarge the window";
}

std::optional<Band> EmphasisedBand(const TQSOData* typed, std::string_view currentBand) {
    if (typed != nullptr) {
        if (const std::optional<Band> band = Band::Followed(typed->DigiBand.View())) {
            return band;
        }
    }
    return Band::FromNumber(ParseInt(Trim(currentBand)).value_or(0));
}

bool Meet(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Rect FirstCheckRect(const Rect& workArea, const std::vector<Rect>& avoid, int width, int height) {
    const Rect wanted{workArea.left, workArea.top, workArea.left + width, workArea.top + height};
    // The room the windows leave: the bounding box of those on the work area.
    std::optional<Rect> taken;
    for (const Rect& r : avoid) {
        if (!Meet(r, workArea)) {
            continue;
        }
        taken = taken ? Rect{std::min(taken->left, r.left), std::min(taken->top, r.top),
                             std::max(taken->right, r.right), std::max(taken->bottom, r.bottom)}
                      : r;
    }
    if (!taken) {
        return FitInto(wanted, workArea);
    }
    const Rect& t = *taken;
    const auto clamp = [](int v, int low, int high) { return std::max(low, std::min(v, high)); };
    // Left, right, below and above the windows, each as large as the work
    // area there is; the window beside them, top or left edge level with
    // theirs where it can be.
    struct Side {
        Rect room;
        bool horizontal; // left or right: placed level with their top
        bool before;     // left or above: against their left or top edge
    };
    const Side sides[] = {
        {{workArea.left, workArea.top, t.left, workArea.bottom}, true, true},
        {{t.right, workArea.top, workArea.right, workArea.bottom}, true, false},
        {{workArea.left, t.bottom, workArea.right, workArea.bottom}, false, false},
        {{workArea.left, workArea.top, workArea.right, t.top}, false, true},
    };
    std::optional<Rect> best;
    long long bestArea = 0;
    for (const Side& side : sides) {
        const int roomWidth = side.room.right - side.room.left;
        const int roomHeight = side.room.bottom - side.room.top;
        if (roomWidth <= 0 || roomHeight <= 0) {
            continue;
        }
        const int w = std::min(width, roomWidth);
        const int h = std::min(height, roomHeight);
        int x = 0;
        int y = 0;
        if (side.horizontal) {
            x = side.before ? side.room.right - w : side.room.left;
            y = clamp(t.top, side.room.top, side.room.bottom - h);
        } else {
            x = clamp(t.left, side.room.left, side.room.right - w);
            y = side.before ? side.room.bottom - h : side.room.top;
        }
        const long long area = static_cast<long long>(w) * h;
        if (area > bestArea) {
            bestArea = area;
            best = Rect{x, y, x + w, y + h};
        }
    }
    return best ? *best : FitInto(wanted, workArea);
}

} // namespace morvel::ui
