#pragma once
#include "trends/TrendData.h"
#include "ui/ToolWindow.h"

class QAction;
class QChart;
class QChartView;
class QComboBox;
class QListWidget;

namespace zra::trends {

// "Trendy": the snapshots of one table of a snapshot file plotted across
// time. The list holds every cell that has a number (row and column title);
// the ticked ones are lines of one chart, time along the bottom, one value
// axis per unit (from the row titles). The chart can be saved as PNG.
class TFtrend : public ui::ToolWindow {
    Q_OBJECT
public:
    TFtrend();

    QAction* TBXotevri; // "Otevři…"
    QComboBox* tabulka; // the table kinds the file holds
    QAction* TBXpng;    // "Ulož PNG…"
    QListWidget* radky; // the numeric cells, tickable
    QChartView* graf;

    // Loads every snapshot of path; false with a message shown when it cannot.
    bool openFile(const QString& path);
    // Ticks the cell's entry; false when the list has no such cell.
    bool tick(const TrendCell& cell, bool on = true);
    QChart* chart() const;
    bool savePng(const QString& path);

    void TBXotevriClick();
    void TBXpngClick();

private:
    void showKind();
    void redraw();

    QString m_file;
    // The snapshots of the table in the list, walked when it is chosen (the
    // other tables of the file are only counted), and the values of each
    // cell ticked since, read when it was first ticked.
    TrendSource m_source;
    QList<TrendCell> m_cells;
    QHash<TrendCell, QList<QList<TrendPoint>>> m_runs;
};

} // namespace zra::trends
