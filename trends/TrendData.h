#pragma once
#include "store/SnapshotFile.h"

#include <QList>
#include <QPair>
#include <QString>
#include <vector>

namespace zra::trends {

// Snapshots of one table, oldest first: each with its stamp (DayStamp).
using SnapshotSeries = std::vector<std::pair<double, store::SnapshotTable>>;

// The unit a row title gives in brackets, without a scale written before it:
// "Output voltage value (0.1V)" gives "V", "Mez alarmu saturace[%]" gives
// "%", "Temperature value (K)" gives "K"; a title without one gives "".
QString UnitOfTitle(const QString& title);

// A cell's number as the tables write it ('.' or ',' as the decimal
// separator); nothing for an empty or non-numeric cell.
std::optional<double> CellNumber(const QString& text);

// One plotted cell of a table: its row and column titles.
struct TrendCell {
    QString row;
    QString column;
    bool operator==(const TrendCell&) const = default;
};

// The cells that hold a number in at least one snapshot, in table order
// (rows first), matched across snapshots by their titles.
QList<TrendCell> NumericCells(const SnapshotSeries& snapshots);

struct TrendPoint {
    double stamp;
    double value;
    bool operator==(const TrendPoint&) const = default;
};

// A cell's values across the snapshots that have it as a number.
QList<TrendPoint> CellValues(const SnapshotSeries& snapshots, const TrendCell& cell);

} // namespace zra::trends
