#include "trends/TrendData.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <bit>
#include <cmath>

namespace zra::trends {

namespace {

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
    // A character beyond Latin-1 turns into '?', which no number holds.
    return CellNumber(QByteArrayView(text.trimmed().toLatin1()));
}

std::optional<double> CellNumber(QByteArrayView bytes) {
    bytes = bytes.trimmed();
    char number[store::MaxCellBytes];
    if (bytes.isEmpty() || bytes.size() > qsizetype(sizeof number))
        return std::nullopt;
    std::replace_copy(bytes.begin(), bytes.end(), number, ',', '.');
    bool ok = false;
    const double v = QByteArrayView(number, bytes.size()).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

size_t qHash(const TrendCell& cell, size_t seed) {
    return qHashMulti(seed, cell.row, cell.column, cell.rowOccurrence, cell.columnOccurrence);
}

QString TitleText(const QString& title, int occurrence) {
    return occurrence == 0 ? title : QStringLiteral("%1 #%2").arg(title).arg(occurrence + 1);
}

QString CellText(const TrendCell& cell) {
    return TitleText(cell.row, cell.rowOccurrence) + QStringLiteral(" – ") +
           TitleText(cell.column, cell.columnOccurrence);
}

int TrendSource::layoutOf(const store::RecordCells& record) {
    const int rows = record.rows();
    const int columns = record.columns();
    m_key.clear();
    const auto add = [&](QByteArrayView title) { m_key.append(char(title.size())).append(title); };
    m_key.append(reinterpret_cast<const char*>(&rows), sizeof rows)
        .append(reinterpret_cast<const char*>(&columns), sizeof columns);
    for (int c = 1; c < columns; ++c)
        add(record.bytes(c, 0));
    for (int r = 1; r < rows; ++r)
        add(record.bytes(0, r));
    // A table's snapshots mostly share their titles with the one before.
    if (!m_layoutOf.empty() && m_layouts[m_layoutOf.back()].key == m_key)
        return m_layoutOf.back();
    if (const auto known = m_layoutIndex.constFind(m_key); known != m_layoutIndex.cend())
        return *known;
    Layout layout{m_key, rows, columns, {}, {}};
    layout.cells.resize(std::size_t(rows) * columns);
    layout.numeric.resize(layout.cells.size());
    QHash<QString, int> rowSeen, columnSeen;
    QList<int> columnOccurrence(columns, 0);
    for (int c = 1; c < columns; ++c)
        columnOccurrence[c] = columnSeen[record.text(c, 0)]++;
    for (int r = 1; r < rows; ++r) {
        const QString row = record.text(0, r);
        const int rowOccurrence = rowSeen[row]++;
        for (int c = 1; c < columns; ++c)
            layout.cells[std::size_t(r) * columns + c] = {row, record.text(c, 0), rowOccurrence,
                                                          columnOccurrence[c]};
    }
    m_layouts.push_back(std::move(layout));
    m_layoutIndex.insert(m_key, int(m_layouts.size()) - 1);
    return int(m_layouts.size()) - 1;
}

bool TrendSource::open(const QString& path, store::ViewKind kind, QString* error) {
    *this = TrendSource();
    m_path = path;
    m_kind = kind;
    return store::WalkRecordCells(
        path, int(kind),
        [&](store::ViewKind, double stamp, const store::RecordCells& record) {
            const int index = layoutOf(record);
            m_stamps.push_back(stamp);
            m_layoutOf.push_back(index);
            Layout& layout = m_layouts[index];
            // Rows first, as the table reads; a cell known to hold a number
            // is not looked at again.
            for (int r = 1; r < layout.rows; ++r)
                for (int c = 1; c < layout.columns; ++c) {
                    const std::size_t i = std::size_t(r) * layout.columns + c;
                    if (layout.numeric[i] || !CellNumber(record.bytes(c, r)))
                        continue;
                    layout.numeric[i] = true;
                    if (!m_seen.contains(layout.cells[i])) {
                        m_seen.insert(layout.cells[i]);
                        m_cells.append(layout.cells[i]);
                    }
                }
            return true;
        },
        error);
}

bool TrendSource::runs(const TrendCell& cell, QList<QList<TrendPoint>>* runs,
                       QString* error) const {
    // Where each set of titles has the cell, if anywhere.
    std::vector<qsizetype> place(m_layouts.size(), -1);
    for (std::size_t l = 0; l < m_layouts.size(); ++l) {
        const auto& cells = m_layouts[l].cells;
        const auto found = std::find(cells.begin(), cells.end(), cell);
        if (found != cells.end())
            place[l] = found - cells.begin();
    }
    runs->clear();
    QList<TrendPoint> run;
    std::size_t i = 0;
    bool same = true;
    const bool read = store::WalkRecordCells(
        m_path, int(m_kind),
        [&](store::ViewKind, double stamp, const store::RecordCells& record) {
            if (i == m_stamps.size())
                return false;
            same = std::bit_cast<quint64>(stamp) == std::bit_cast<quint64>(m_stamps[i]);
            if (!same)
                return false;
            const Layout& layout = m_layouts[m_layoutOf[i]];
            const qsizetype at = place[m_layoutOf[i]];
            ++i;
            if (record.rows() != layout.rows || record.columns() != layout.columns)
                return same = false;
            const auto v =
                at < 0
                    ? std::nullopt
                    : CellNumber(record.bytes(int(at % layout.columns), int(at / layout.columns)));
            if (v) {
                run.append({stamp, *v});
            } else if (!run.isEmpty()) {
                runs->append(run);
                run.clear();
            }
            return true;
        },
        error);
    if (!run.isEmpty())
        runs->append(run);
    // A damaged record after the snapshots of the open was told by the open.
    if (same && i == m_stamps.size())
        return true;
    if (read && error)
        *error =
            QStringLiteral("Soubor \"%1\" se od otevření změnil; otevřete jej znovu.").arg(m_path);
    return false;
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
