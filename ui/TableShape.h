#pragma once
#include "ui/TextGrid.h"

#include <QStringList>
#include <vector>

namespace zra::ui {

class TextGrid;

// A table's own shape along its titled edge: how many columns (a table with
// its titles in row 0) or rows (one with its titles in column 0) it has, their
// titles, by design or as the settings file restored them, and their widths or
// heights. A snapshot of another shape brings its own count and titles; a read
// puts the table's own back before it writes, so that no column or row it
// writes is cut off and every title names the values beside it.
class TableShape {
public:
    enum Edge { Columns, Rows };
    TableShape(TextGrid& grid, Edge edge) : m_grid(grid), m_edge(edge) {}

    // The grid's titles and sizes become the own ones: the first time, and
    // then whenever the grid has the own count (a grid of another count holds
    // a snapshot, and the titles kept before stay).
    void keep();
    // When the grid has another count: the own count and titles again, and the
    // own sizes for the columns or rows that come back.
    void restore();

private:
    int count() const;
    QString title(int i) const;

    TextGrid& m_grid;
    const Edge m_edge;
    QStringList m_titles;
    std::vector<int> m_sizes;
};

// A window's grid that gets its own shape back once the read's count has
// arrived, so that a failed count leaves the table as it is.
class ShapeRestoringSink : public GridSink {
public:
    ShapeRestoringSink(TextGrid& grid, TableShape& shape, bool drawEachItem)
        : GridSink(grid, drawEachItem), m_shape(shape) {}
    void setColumnCount(int columns) override {
        m_shape.restore();
        GridSink::setColumnCount(columns);
    }

private:
    TableShape& m_shape;
};

} // namespace zra::ui
