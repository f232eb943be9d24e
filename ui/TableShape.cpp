#include "ui/TableShape.h"

#include "ui/TextGrid.h"

#include <algorithm>

namespace zra::ui {

int TableShape::count() const {
    return m_edge == Columns ? m_grid.columnCount() : m_grid.rowCount();
}

QString TableShape::title(int i) const {
    return m_edge == Columns ? m_grid.cell(i, 0) : m_grid.cell(0, i);
}

void TableShape::keep() {
    if (!m_titles.isEmpty() && count() != m_titles.size())
        return;
    m_titles.clear();
    m_sizes.clear();
    for (int i = 0; i < count(); ++i) {
        m_titles << title(i);
        m_sizes.push_back(m_edge == Columns ? m_grid.columnWidthPx(i) : m_grid.rowHeightPx(i));
    }
}

void TableShape::restore() {
    const int own = int(m_titles.size());
    const int had = count();
    if (m_titles.isEmpty() || had == own)
        return;
    if (m_edge == Columns)
        m_grid.setColumnCount(own);
    else
        m_grid.setRowCount(own);
    for (int i = 0; i < own; ++i) {
        if (m_edge == Columns)
            m_grid.setCell(i, 0, m_titles[i]);
        else
            m_grid.setCell(0, i, m_titles[i]);
        // The title row or column keeps the height or width it has.
        if (i < std::max(had, 1))
            continue;
        if (m_edge == Columns)
            m_grid.setColumnWidthPx(i, m_sizes[std::size_t(i)]);
        else
            m_grid.setRowHeightPx(i, m_sizes[std::size_t(i)]);
    }
}

} // namespace zra::ui
