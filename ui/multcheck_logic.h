// The multiplier check window's layout: the grid of oblast codes against the
// nine bands, in as many blocks side by side as the width takes, below a strip
// of the bands' totals. Sizes at 96 pixels per inch, scaled. Pure and portable.
#pragma once

#include "ui/placement.h"

#include <cstddef>
#include <optional>

namespace morvel::ui {

// The window at design: client area and position.
inline constexpr int kCheckClientWidth = 690;
inline constexpr int kCheckClientHeight = 520;
inline constexpr int kCheckLeft = 932;
inline constexpr int kCheckTop = 400;
// The headline's and the station's heights at design, above the grid.
inline constexpr int kCheckHeadlineHeight = 20;
inline constexpr int kCheckStationHeight = 32;

class CheckGridLayout {
public:
    // The grid's client area (width, height) at dpi, for rows codes; scroll is
    // the first row shown of every block.
    CheckGridLayout(int width, int height, int dpi, std::size_t rows);

    // The strip of the bands' totals across the top: its height, its label
    // column and band b's (1-9) column in it, as x ranges.
    int StripHeight() const { return m_stripHeight; }
    Rect StripLabel(int line) const;
    Rect StripCell(int line, int band) const;
    // A block's header row, with the band texts, below the strip.
    int HeaderTop() const { return m_stripHeight; }
    // The left of band b's (1-9) cells within a block.
    int BandLeft(int band) const { return m_codeWidth + (band - 1) * m_cellWidth; }
    int BlockLeft(std::size_t block) const;
    int CellWidth() const { return m_cellWidth; }
    int CodeWidth() const { return m_codeWidth; }
    int RowHeight() const { return m_rowHeight; }
    int LineHeight() const { return m_lineHeight; }

    std::size_t Blocks() const { return m_blocks; }
    std::size_t RowsPerBlock() const { return m_rowsPerBlock; }
    // The rows that fit below the strip, and so the scroll range.
    std::size_t VisibleRows() const { return m_visibleRows; }
    std::size_t MaxScroll() const {
        return m_rowsPerBlock > m_visibleRows ? m_rowsPerBlock - m_visibleRows : 0;
    }

    // Row's code and cell rectangles with the blocks scrolled by scroll rows;
    // nothing when the row is scrolled out of sight.
    std::optional<Rect> CodeRect(std::size_t row, std::size_t scroll) const;
    std::optional<Rect> CellRect(std::size_t row, int band, std::size_t scroll) const;

private:
    std::optional<Rect> RowRect(std::size_t row, std::size_t scroll) const;

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

} // namespace morvel::ui
