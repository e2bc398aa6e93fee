// The multiplier check window's layout: the grid of oblast codes against the
// nine bands, in as many blocks side by side as it takes for every row to be
// seen (as many as the width holds), below a strip of the bands' totals; and
// where the window first opens. Sizes at 96 pixels per inch, scaled. Pure and
// portable.
#pragma once

#include "contract/records.h"
#include "session/bands.h"
#include "ui/placement.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::ui {

// The window at design: client area and position. At this size the 85 codes
// of the shipped oblast file are all in view, in four blocks, at 96 and at
// 144 pixels per inch on a 1366 x 768 screen.
inline constexpr int kCheckClientWidth = 886;
inline constexpr int kCheckClientHeight = 458;
inline constexpr int kCheckLeft = 932;
inline constexpr int kCheckTop = 400;
// The texts above the grid, heights at design: the headline, the rate, the
// station being typed (two lines), its alert and history, the warning.
inline constexpr int kCheckHeadlineHeight = 16;
inline constexpr int kCheckRateHeight = 14;
inline constexpr int kCheckStationHeight = 28;
inline constexpr int kCheckAlertHeight = 18;
inline constexpr int kCheckWarningHeight = 18;
// The list of the DXCC prefixes worked on the emphasised band, right of the
// grid, and its title above it.
inline constexpr int kCheckDxccWidth = 84;
inline constexpr int kCheckDxccTitleHeight = 14;

// The window's parts in a client area of width x height at dpi: the texts
// above, the grid and, right of it, the DXCC list with its title.
struct CheckFormLayout {
    Rect headline;
    Rect rate;
    Rect station;
    Rect alert;
    Rect history;
    Rect warning;
    Rect dismiss; // the button that dismisses the warning
    Rect grid;
    Rect dxccTitle;
    Rect dxccList;
};
CheckFormLayout LayOutCheck(int width, int height, int dpi);

class CheckGridLayout {
public:
    // The grid's client area (width, height) at dpi, for rows codes.
    CheckGridLayout(int width, int height, int dpi, std::size_t rows);

    // The strip of the bands' totals across the top: its height, its label
    // column and a band's column in it, as x ranges.
    int StripHeight() const { return m_stripHeight; }
    Rect StripLabel(int line) const;
    Rect StripCell(int line, Band band) const;
    // A block's header row, with the band texts, below the strip; a band's
    // cell in it, above the band's cells of the block's rows.
    int HeaderTop() const { return m_stripHeight; }
    Rect HeaderCell(std::size_t block, Band band) const;
    // The left of a band's cells within a block.
    int BandLeft(Band band) const {
        return m_codeWidth + static_cast<int>(band.Index()) * m_cellWidth;
    }
    int BlockLeft(std::size_t block) const;
    int CellWidth() const { return m_cellWidth; }
    int CodeWidth() const { return m_codeWidth; }
    int RowHeight() const { return m_rowHeight; }
    int LineHeight() const { return m_lineHeight; }

    std::size_t Blocks() const { return m_blocks; }
    std::size_t RowsPerBlock() const { return m_rowsPerBlock; }
    // The rows of a block that fit below the strip, and so the scroll range.
    std::size_t VisibleRows() const { return m_visibleRows; }
    std::size_t MaxScroll() const {
        return m_rowsPerBlock > m_visibleRows ? m_rowsPerBlock - m_visibleRows : 0;
    }
    // Whether every row is in view at no scroll; when not, the line below the
    // rows (Sign) tells how many are out of view and where.
    bool AllInView() const { return MaxScroll() == 0; }
    std::optional<Rect> Sign() const;
    // The rows out of view with the blocks scrolled by scroll, above and below.
    struct Hidden {
        std::size_t above = 0;
        std::size_t below = 0;
    };
    Hidden HiddenRows(std::size_t rows, std::size_t scroll) const;
    // The scroll that brings row into view, changing scroll as little as it
    // can.
    std::size_t ScrollFor(std::size_t row, std::size_t scroll) const;

    // Row's code and cell rectangles with the blocks scrolled by scroll rows;
    // nothing when the row is scrolled out of sight.
    std::optional<Rect> RowRect(std::size_t row, std::size_t scroll) const;
    std::optional<Rect> CodeRect(std::size_t row, std::size_t scroll) const;
    std::optional<Rect> CellRect(std::size_t row, Band band, std::size_t scroll) const;

private:
    // A row's width: its code and the nine cells.
    int RowWidth() const;

    int m_codeWidth;
    int m_cellWidth;
    int m_gap;
    int m_rowHeight;
    int m_lineHeight;
    int m_stripHeight;
    int m_width;
    int m_labelWidth;
    std::size_t m_blocks = 1;
    std::size_t m_rowsPerBlock = 0;
    std::size_t m_visibleRows = 0;
};

// The sign below rows out of view: "▲ 3 above  ▼ 12 below: scroll" (UTF-8
// arrows are not used: the window's texts are ANSI); empty when none are.
std::string HiddenRowsText(const CheckGridLayout::Hidden& hidden);

// The band the grid draws emphasised: the typed station's band (its text
// trimmed) if it is one of the nine, else the band the stored CurrentBand
// names (a number 1-9), else none. typed: nullptr with no station typed.
std::optional<Band> EmphasisedBand(const TQSOData* typed, std::string_view currentBand);

// Where the multiplier check first opens when no placement of its own is
// stored: inside workArea, meeting none of the windows in avoid (the
// statistics and the multipliers window), beside or below them, at the size
// wanted (outer width and height) or the largest that fits there; when they
// leave no room, the size wanted fitted into the work area.
Rect FirstCheckRect(const Rect& workArea, const std::vector<Rect>& avoid, int width, int height);

// Whether two rectangles share any pixel.
bool Meet(const Rect& a, const Rect& b);

} // namespace morvel::ui
