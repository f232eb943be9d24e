#pragma once
#include <QString>

namespace zra::store {

// Where a view's read puts its table as the replies come in: a window's grid
// or a table in memory (zra-cli). Counts include the title row and column;
// a smaller count drops what lies beyond it, a larger one adds empty cells.
class TableSink {
public:
    virtual ~TableSink() = default;
    virtual void setColumnCount(int columns) = 0;
    virtual void setRowCount(int rows) = 0;
    virtual void setCell(int column, int row, const QString& text) = 0;
    // One item of the read (a module, an alarm, an event) is complete.
    virtual void itemDone() {}
};

} // namespace zra::store
