#pragma once
#include "store/TableCompare.h"

#include <QColor>
#include <QObject>
#include <QTimer>

namespace zra::ui {
class TextGrid;
}

namespace zra::insight {

// Marks of a comparison drawn over the window's own colours.
inline const QColor ChangedCellColor(255, 222, 120);
inline const QColor AddedCellColor(185, 215, 255);

// One table compared with a baseline snapshot: changed cells and added rows
// and columns are marked in the grid, a changed cell's tool tip gives its old
// text. The comparison follows the table: every change of its cells (a read,
// a live watch, a loaded snapshot) compares it again, until cleared.
class CompareMarks : public QObject {
    Q_OBJECT
public:
    explicit CompareMarks(ui::TextGrid& grid);

    // Compares the grid with baseline from now on; label names the baseline
    // in the summary (a file and a stamp).
    void compareWith(const store::SnapshotTable& baseline, const QString& label);
    void clear();
    bool active() const { return m_active; }

    const store::SnapshotTable& baseline() const { return m_baseline; }
    const store::TableComparison& comparison() const { return m_comparison; }
    // "Porovnání se snímkem LABEL: " and the comparison's one-line summary.
    QString summary() const;
    // Compares at once what the grid holds now (the updates are otherwise
    // gathered until the event loop runs).
    void update();

signals:
    void updated();

private:
    ui::TextGrid& m_grid;
    store::SnapshotTable m_baseline;
    store::TableComparison m_comparison;
    QString m_label;
    bool m_active = false;
    QTimer m_pending;
};

} // namespace zra::insight
