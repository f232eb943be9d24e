#include "trends/TrendData.h"

#include <QRegularExpression>
#include <QSet>
#include <cmath>

namespace zra::trends {

namespace {

// For each row (or column) from 1 on, how many before it carry its title.
QList<int> Occurrences(const store::SnapshotTable& t, bool rows) {
    QList<int> occurrences(rows ? t.rows : t.columns, 0);
    QHash<QString, int> seen;
    for (int i = 1; i < occurrences.size(); ++i)
        occurrences[i] = seen[rows ? t.at(0, i) : t.at(i, 0)]++;
    return occurrences;
}

// The row and the column with the cell's titles and occurrences.
std::optional<QPair<int, int>> Find(const store::SnapshotTable& t, const TrendCell& cell) {
    const auto index = [&](bool rows, const QString& title, int occurrence) {
        int seen = 0;
        for (int i = 1; i < (rows ? t.rows : t.columns); ++i)
            if ((rows ? t.at(0, i) : t.at(i, 0)) == title && seen++ == occurrence)
                return i;
        return -1;
    };
    const int row = index(true, cell.row, cell.rowOccurrence);
    const int column = index(false, cell.column, cell.columnOccurrence);
    if (row < 0 || column < 0)
        return std::nullopt;
    return qMakePair(column, row);
}

// 1, 2 or 5 times a power of ten, at least raw.
double NiceStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * power;
}

// low to high widened to whole steps.
AxisScale Widened(double low, double high, double step) {
    const double first = std::floor(low / step + 1e-9);
    const double last = std::ceil(high / step - 1e-9);
    return {first * step, last * step, int(std::lround(last - first)) + 1};
}

} // namespace

QString UnitOfTitle(const QString& title) {
    static const QRegularExpression bracket(
        QStringLiteral("[\\(\\[]\\s*([0-9.,]*)\\s*([^\\)\\]]*)[\\)\\]]\\s*$"));
    const auto m = bracket.match(title);
    return m.hasMatch() ? m.captured(2).trimmed() : QString();
}

std::optional<double> CellNumber(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

QString TitleText(const QString& title, int occurrence) {
    return occurrence == 0 ? title : QStringLiteral("%1 #%2").arg(title).arg(occurrence + 1);
}

QString CellText(const TrendCell& cell) {
    return TitleText(cell.row, cell.rowOccurrence) + QStringLiteral(" – ") +
           TitleText(cell.column, cell.columnOccurrence);
}

QList<TrendCell> NumericCells(const SnapshotSeries& snapshots) {
    QList<TrendCell> cells;
    QSet<QString> seen;
    for (const auto& [stamp, t] : snapshots) {
        const QList<int> rowOccurrence = Occurrences(t, true);
        const QList<int> columnOccurrence = Occurrences(t, false);
        for (int r = 1; r < t.rows; ++r)
            for (int c = 1; c < t.columns; ++c) {
                const TrendCell cell{t.at(0, r), t.at(c, 0), rowOccurrence[r], columnOccurrence[c]};
                const QString key = QStringLiteral("%1\x1f%2\x1f%3\x1f%4")
                                        .arg(cell.row)
                                        .arg(cell.rowOccurrence)
                                        .arg(cell.column)
                                        .arg(cell.columnOccurrence);
                if (!seen.contains(key) && CellNumber(t.at(c, r))) {
                    seen.insert(key);
                    cells.append(cell);
                }
            }
    }
    return cells;
}

QList<QList<TrendPoint>> CellRuns(const SnapshotSeries& snapshots, const TrendCell& cell) {
    QList<QList<TrendPoint>> runs;
    QList<TrendPoint> run;
    for (const auto& [stamp, t] : snapshots) {
        const auto at = Find(t, cell);
        if (const auto v = at ? CellNumber(t.at(at->first, at->second)) : std::nullopt) {
            run.append({stamp, *v});
        } else if (!run.isEmpty()) {
            runs.append(run);
            run.clear();
        }
    }
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

LegendNames LegendOf(const QList<TrendCell>& cells) {
    LegendNames legend;
    bool sameRow = true;
    bool sameColumn = true;
    for (const TrendCell& c : cells) {
        sameRow = sameRow && c.row == cells[0].row && c.rowOccurrence == cells[0].rowOccurrence;
        sameColumn = sameColumn && c.column == cells[0].column &&
                     c.columnOccurrence == cells[0].columnOccurrence;
    }
    if (cells.size() > 1 && sameRow != sameColumn)
        legend.shared = sameRow ? TitleText(cells[0].row, cells[0].rowOccurrence)
                                : TitleText(cells[0].column, cells[0].columnOccurrence);
    for (const TrendCell& c : cells) {
        const QString row = TitleText(c.row, c.rowOccurrence);
        const QString column = TitleText(c.column, c.columnOccurrence);
        if (cells.size() < 2 || sameRow == sameColumn)
            legend.names << (cells.size() < 2 ? CellText(c) : column + QStringLiteral(" – ") + row);
        else
            legend.names << (sameRow ? column : row);
    }
    return legend;
}

AxisScale NiceValueScale(double low, double high, int maxTicks) {
    if (!(high > low)) {
        const double pad = low == 0 ? 1.0 : std::abs(low) * 0.05;
        low -= pad;
        high += pad;
    }
    return Widened(low, high, NiceStep((high - low) / std::max(maxTicks, 1)));
}

AxisScale NiceTimeScale(double first, double last, int maxTicks) {
    constexpr double Day = 86400;
    if (!(last > first))
        last = first + 1.0 / 24;
    static constexpr double Steps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                       600, 900, 1800, 3600, 7200, 10800, 21600, 43200, Day};
    const double raw = (last - first) * Day / std::max(maxTicks, 1);
    double step = NiceStep(raw / Day) * Day; // whole days beyond the table
    for (const double s : Steps)
        if (s >= raw) {
            step = s;
            break;
        }
    const AxisScale seconds = Widened(first * Day, last * Day, step);
    return {seconds.min / Day, seconds.max / Day, seconds.ticks};
}

QList<TrendPoint> ForScreen(const QList<TrendPoint>& run, int buckets) {
    if (buckets < 1 || run.size() <= 2 * qsizetype(buckets))
        return run;
    const double first = run.front().stamp;
    const double span = run.back().stamp - first;
    QList<TrendPoint> out;
    out.reserve(2 * buckets + 2);
    out.append(run.front());
    qsizetype i = 1;
    const qsizetype last = run.size() - 1;
    for (int b = 0; b < buckets && i < last; ++b) {
        const double end = b + 1 == buckets ? run.back().stamp : first + span * (b + 1) / buckets;
        qsizetype low = -1, high = -1;
        for (; i < last && (run[i].stamp < end || b + 1 == buckets); ++i) {
            if (low < 0 || run[i].value < run[low].value)
                low = i;
            if (high < 0 || run[i].value > run[high].value)
                high = i;
        }
        if (low < 0)
            continue;
        out.append(run[std::min(low, high)]);
        if (high != low)
            out.append(run[std::max(low, high)]);
    }
    out.append(run.back());
    return out;
}

} // namespace zra::trends
