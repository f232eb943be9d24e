#include "trends/TrendData.h"

#include <QRegularExpression>
#include <QSet>

namespace zra::trends {

namespace {

// Row r with this title and column c with this title, the first of each.
std::optional<QPair<int, int>> Find(const store::SnapshotTable& t, const TrendCell& cell) {
    int row = -1;
    int column = -1;
    for (int r = 1; r < t.rows && row < 0; ++r)
        if (t.at(0, r) == cell.row)
            row = r;
    for (int c = 1; c < t.columns && column < 0; ++c)
        if (t.at(c, 0) == cell.column)
            column = c;
    if (row < 0 || column < 0)
        return std::nullopt;
    return qMakePair(column, row);
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
    return ok ? std::optional<double>(v) : std::nullopt;
}

QList<TrendCell> NumericCells(const SnapshotSeries& snapshots) {
    QList<TrendCell> cells;
    QSet<QPair<QString, QString>> seen;
    for (const auto& [stamp, t] : snapshots)
        for (int r = 1; r < t.rows; ++r)
            for (int c = 1; c < t.columns; ++c) {
                const QPair<QString, QString> key(t.at(0, r), t.at(c, 0));
                if (!seen.contains(key) && CellNumber(t.at(c, r))) {
                    seen.insert(key);
                    cells.append({key.first, key.second});
                }
            }
    return cells;
}

QList<TrendPoint> CellValues(const SnapshotSeries& snapshots, const TrendCell& cell) {
    QList<TrendPoint> points;
    for (const auto& [stamp, t] : snapshots)
        if (const auto at = Find(t, cell))
            if (const auto v = CellNumber(t.at(at->first, at->second)))
                points.append({stamp, *v});
    return points;
}

} // namespace zra::trends
