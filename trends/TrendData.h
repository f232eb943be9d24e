#pragma once
#include "store/SnapshotFile.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace zra::trends {

// The unit a row title gives in brackets, without a scale written before it:
// "Output voltage value (0.1V)" gives "V", "Mez alarmu saturace[%]" gives
// "%", "Temperature value (K)" gives "K"; a title without one gives "".
QString UnitOfTitle(const QString& title);

// A cell's number as the tables write it ('.' or ',' as the decimal
// separator); nothing for an empty or non-numeric cell, and for "nan" and
// "inf", which no table writes for a value.
std::optional<double> CellNumber(const QString& text);
// The same of a cell's Windows-1250 bytes as a snapshot file holds them.
std::optional<double> CellNumber(QByteArrayView bytes);

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

size_t qHash(const TrendCell& cell, size_t seed = 0);

// A title with its occurrence: "Teplota" for the first, "Teplota #2" for the
// second.
QString TitleText(const QString& title, int occurrence);
// The list entry of a cell: "row – column".
QString CellText(const TrendCell& cell);

struct TrendPoint {
    double stamp;
    double value;
    bool operator==(const TrendPoint&) const = default;
};

// The snapshots of one table of a snapshot file, for plotting. The open
// walks the file once and keeps of each snapshot only its stamp and its
// titles (each distinct set of titles once), finding the cells that hold a
// number; a line's values are read by a walk that takes its one cell from
// each snapshot. So memory grows by a few bytes per snapshot, not by its
// cells, and no text is decoded but the titles.
class TrendSource {
public:
    // False with the reason when the file cannot be read; a damaged record
    // ends the walk and the snapshots before it stay (error then says so).
    bool open(const QString& path, store::ViewKind kind, QString* error);
    qsizetype size() const { return qsizetype(m_stamps.size()); }
    // The cells that hold a number in at least one snapshot, matched across
    // snapshots by their titles: in the order of the snapshot that first has
    // a number there, rows first within it.
    const QList<TrendCell>& cells() const { return m_cells; }
    // The cell's values across the snapshots as runs of consecutive
    // snapshots that have it as a number: a snapshot without it (no such row
    // or column, an empty or text cell) ends a run, and the line breaks
    // there. Read from the file again; snapshots
    // appended since the open are left out. False when the file cannot be
    // read or no longer holds the snapshots the open found.
    bool runs(const TrendCell& cell, QList<QList<TrendPoint>>* runs, QString* error) const;

private:
    struct Layout {
        QByteArray key; // the titles' bytes, as the records hold them
        int rows = 0;
        int columns = 0;
        std::vector<TrendCell> cells; // row-major; the titles' own cells empty
        std::vector<bool> numeric;    // a snapshot held a number there
    };
    int layoutOf(const store::RecordCells& record);

    QString m_path;
    store::ViewKind m_kind{};
    std::vector<double> m_stamps;
    std::vector<int> m_layoutOf; // per snapshot
    std::vector<Layout> m_layouts;
    QHash<QByteArray, int> m_layoutIndex;
    QByteArray m_key; // the key of the record in hand
    QList<TrendCell> m_cells;
    QSet<TrendCell> m_seen;
};

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
