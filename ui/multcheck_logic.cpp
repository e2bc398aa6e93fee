#include "ui/multcheck_logic.h"

#include "ui/main_layout.h"

#include <algorithm>

namespace morvel::ui {

CheckGridLayout::CheckGridLayout(int width, int height, int dpi, std::size_t rows)
    : m_codeWidth(Scale(36, dpi)), m_cellWidth(Scale(20, dpi)), m_gap(Scale(10, dpi)),
      m_rowHeight(Scale(14, dpi)), m_lineHeight(Scale(15, dpi)),
      m_stripHeight(3 * Scale(15, dpi) + Scale(6, dpi)), m_width(std::max(width, 0)),
      m_labelWidth(Scale(44, dpi)) {
    const int blockWidth = m_codeWidth + 9 * m_cellWidth + m_gap;
    m_blocks = static_cast<std::size_t>(std::max(1, (std::max(width, 0) + m_gap) / blockWidth));
    m_rowsPerBlock = rows == 0 ? 0 : (rows + m_blocks - 1) / m_blocks;
    // Fewer blocks when the rows fit in fewer: no empty block at the right.
    if (m_rowsPerBlock != 0) {
        m_blocks = (rows + m_rowsPerBlock - 1) / m_rowsPerBlock;
    }
    const int below = std::max(0, height - m_stripHeight - m_rowHeight);
    m_visibleRows = static_cast<std::size_t>(below / std::max(1, m_rowHeight));
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
    return Rect{left, top, left + m_codeWidth + 9 * m_cellWidth, top + m_rowHeight};
}

int CheckGridLayout::BlockLeft(std::size_t block) const {
    return static_cast<int>(block) * (m_codeWidth + 9 * m_cellWidth + m_gap);
}

Rect CheckGridLayout::StripLabel(int line) const {
    return {0, line * m_lineHeight, m_labelWidth, (line + 1) * m_lineHeight};
}

Rect CheckGridLayout::StripCell(int line, int band) const {
    const int column = std::max(1, (m_width - m_labelWidth) / 9);
    const int left = m_labelWidth + (band - 1) * column;
    return {left, line * m_lineHeight, left + column, (line + 1) * m_lineHeight};
}

std::optional<Rect> CheckGridLayout::CodeRect(std::size_t row, std::size_t scroll) const {
    auto r = RowRect(row, scroll);
    if (r) {
        r->right = r->left + m_codeWidth;
    }
    return r;
}

std::optional<Rect> CheckGridLayout::CellRect(std::size_t row, int band, std::size_t scroll) const {
    auto r = RowRect(row, scroll);
    if (r) {
        r->left += BandLeft(band);
        r->right = r->left + m_cellWidth;
    }
    return r;
}

} // namespace morvel::ui
