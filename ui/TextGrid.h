#pragma once
#include "store/SnapshotFile.h"
#include "store/TableSink.h"
#include "text/CellText.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace zra::ui {

class TextGridModel;

// The grid of text cells that every view shows. Cells are addressed as
// (column, row), the title row 0 and the title column 0 included. With a
// title row or column, those titles are drawn as the view's headers, so they
// stay in view while the grid scrolls.
class TextGrid : public QTableView {
    Q_OBJECT
public:
    explicit TextGrid(QWidget* parent = nullptr);
    ~TextGrid() override;

    // Whether row 0 and column 0 are titles (1) or ordinary cells (0).
    void setFixed(int titleRows, int titleColumns);
    int titleRows() const { return m_fixedRows; }
    int titleColumns() const { return m_fixedCols; }

    int rowCount() const;
    int columnCount() const;
    void setRowCount(int rows);
    void setColumnCount(int columns);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString& text);
    // The cells of a row from column 0 on, told to the view as one change.
    void setRowCells(int row, const QStringList& texts);
    // Plain decimal text.
    void setInteger(int column, int row, qint64 value);
    // Fixed decimals, with the locale's decimal separator ("%.1f" style).
    void setDecimal(int column, int row, double value, int decimals);
    // The cell as a number: empty text reads as 0, anything else that is not a
    // number gives nothing. Both separators, '.' and the locale's, are read.
    std::optional<double> decimalAt(int column, int row) const;
    std::optional<qint64> integerAt(int column, int row) const;

    // Widths and heights in pixels; 0 hides the column or row.
    void setColumnWidthPx(int column, int width);
    int columnWidthPx(int column) const;
    void setRowHeightPx(int row, int height);
    int rowHeightPx(int row) const;
    void setDefaultRowHeight(int height);
    // The narrowest width that shows the whole text of every cell of a column.
    int fittingColumnWidth(int column) const;
    int defaultRowHeight() const { return m_defaultHeight; }

    // Colours asked for every painted data cell; nothing keeps the grid's own.
    std::function<std::optional<QColor>(int column, int row)> cellBackground;
    std::function<std::optional<QColor>(int column, int row)> cellTextColor;
    // A mark drawn over the window's own background (a comparison's changed
    // cells), and a cell's tool tip; nothing leaves the cell as it is.
    std::function<std::optional<QColor>(int column, int row)> cellHighlight;
    std::function<QString(int column, int row)> cellToolTip;
    // Background of the title row and title column.
    void setTitleColor(const QColor& color);

    // A push button in a data cell; its clicks are reported by buttonClicked.
    void setCellButton(int column, int row, const QString& caption);
    QWidget* cellButton(int column, int row) const;
    // A push button of the given size in the title cell (row 0) of a column,
    // centred across it and below its title text; its clicks are reported as
    // buttonClicked(column, 0). It stays in its cell while columns are resized
    // or scrolled.
    void setTitleButton(int column, const QString& caption, const QSize& size);
    void removeTitleButton(int column);
    QWidget* titleButton(int column) const;

    // Whole-row selection of several rows, not necessarily adjacent.
    void setMultiRowSelection(bool on);
    std::vector<int> selectedRowNumbers() const;
    void selectRowNumber(int row, bool add = true);

    // Repaints every cell (after a colour rule changed).
    void repaintCells();

signals:
    void buttonClicked(int column, int row);
    void cellDoubleClicked(int column, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TextGridModel;
    void applyHeaders();
    void placeTitleButtons();

    TextGridModel* m_model;
    std::map<int, QWidget*> m_titleButtons;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    int m_defaultHeight = 21;
    int m_titleColumnWidth = 64;
    // The widths of texts measured, in the font they were measured in: a
    // table read again holds mostly the same names.
    mutable QHash<QString, int> m_textWidths;
    mutable QFont m_measuredFont;
};

class TextGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TextGridModel(TextGrid& grid) : m_grid(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // cells[row][column], titles included.
    std::vector<std::vector<QString>> cells{1, std::vector<QString>(1)};

    void resize(int rows, int columns);
    void changed(int column, int row);
    void refresh() {
        beginResetModel();
        endResetModel();
    }

private:
    TextGrid& m_grid;
};

// For the lifetime of a scope, a widget (a table filled row by row during a
// read) is painted at most every intervalMs, not after every change: painting
// a whole table after each of hundreds of replies costs more than the
// exchanges. Other widgets (the progress label) paint as usual.
class PaintThrottle {
public:
    explicit PaintThrottle(QWidget* widget, int intervalMs = 100);
    ~PaintThrottle();
    PaintThrottle(const PaintThrottle&) = delete;
    PaintThrottle& operator=(const PaintThrottle&) = delete;

private:
    QWidget* m_widget;
    bool m_wasEnabled;
    QTimer* m_timer;
};

// A window's grid as the sink of a view's read; drawn after every item when
// drawEachItem, so that a long read shows its progress.
class GridSink : public store::TableSink {
public:
    GridSink(TextGrid& grid, bool drawEachItem) : m_grid(grid), m_draw(drawEachItem) {}
    void setColumnCount(int columns) override;
    void setRowCount(int rows) override;
    void setCell(int column, int row, const QString& text) override;
    void itemDone() override;

private:
    TextGrid& m_grid;
    bool m_draw;
};

// Every cell of a grid as a table in memory, and such a table back into a
// grid (its counts and cells).
store::SnapshotTable TableOfGrid(const TextGrid& grid);
void FillGrid(TextGrid& grid, const store::SnapshotTable& table);

} // namespace zra::ui
