#pragma once
#include "store/SnapshotFile.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <vector>

namespace zra::trends {

// Snapshots of one table, oldest first: each with its stamp (DayStamp).
using SnapshotSeries = std::vector<std::pair<double, store::SnapshotTable>>;

// The unit a row title gives in brackets, without a scale written before it:
// "Output voltage value (0.1V)" gives "V", "Mez alarmu saturace[%]" gives
// "%", "Temperature value (K)" gives "K"; a title without one gives "".
QString UnitOfTitle(const QString& title);

// A cell's number as the tables write it ('.' or ',' as the decimal
// separator); nothing for an empty or non-numeric cell, and for "nan" and
// "inf", which no table writes for a value.
std::optional<double> CellNumber(const QString& text);

// One plotted cell of a table: its row and column titles. A title that the
// table holds more than once is told apart by its occurrence (0 for the
// first), so every such row and column can be plotted.
struct TrendCell {
    QString row;
    QString column;
    int rowOccurrence = 0;
    int columnOccurrence = 0;
    bool operator==(const TrendCell&) const = default;
};

// A title with its occurrence: "Teplota" for the first, "Teplota #2" for the
// second.
QString TitleText(const QString& title, int occurrence);
// The list entry of a cell: "row – column".
QString CellText(const TrendCell& cell);

// The cells that hold a number in at least one snapshot, in table order
// (rows first), matched across snapshots by their titles.
QList<TrendCell> NumericCells(const SnapshotSeries& snapshots);

struct TrendPoint {
    double stamp;
    double value;
    bool operator==(const TrendPoint&) const = default;
};

// A cell's values across the snapshots as runs of consecutive snapshots that
// have it as a number: a snapshot without it (no such row or column, an
// empty or text cell) ends a run, and the line breaks there.
QList<QList<TrendPoint>> CellRuns(const SnapshotSeries& snapshots, const TrendCell& cell);

// A run of points thinned for the screen: in each of buckets equal spans of
// its stamps the lowest and the highest point, in time order, and the run's
// first and last point, so that every peak and dip still shows; a run of at
// most 2 x buckets points stays whole. The axes' ranges come from the whole
// run.
QList<TrendPoint> ForScreen(const QList<TrendPoint>& run, int buckets);

// The names of the plotted lines in the legend, which cuts long names at
// their end: the title that every line shares goes into shared (for the
// chart's title) and is left out of the names; lines of different rows and
// columns are named column first ("Modul 1 – Output power value (W)"), the
// shorter title that tells them apart.
struct LegendNames {
    QStringList names;
    QString shared;
    bool operator==(const LegendNames&) const = default;
};
LegendNames LegendOf(const QList<TrendCell>& cells);

// An axis from min to max in steps that are round numbers, ticks lines
// included, covering low to high with at most maxTicks + 1 ticks.
struct AxisScale {
    double min;
    double max;
    int ticks;
    bool operator==(const AxisScale&) const = default;
};
// Steps of 1, 2 or 5 times a power of ten; a flat line gets room around it.
AxisScale NiceValueScale(double low, double high, int maxTicks = 6);
// Day stamps (DayStamp) in steps of round times of the day: 1, 2, 5, 10, 15
// or 30 seconds or minutes, 1, 2, 3, 6 or 12 hours, then whole days; a single
// moment gets an hour.
AxisScale NiceTimeScale(double first, double last, int maxTicks = 6);

} // namespace zra::trends
