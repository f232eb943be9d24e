#include "store/TableCompare.h"

#include "store/CsvExport.h"

#include <QHash>
#include <algorithm>
#include <limits>

namespace zra::store {

namespace {

// For each of after's titles the index of its match in before, or -1: index 0
// matches index 0, the others the n-th equal title.
QList<int> MatchTitles(const QStringList& before, const QStringList& after) {
    QList<int> origin(after.size(), -1);
    if (before.isEmpty() || after.isEmpty())
        return origin;
    origin[0] = 0;
    QHash<QString, QList<int>> positions;
    for (int i = 1; i < before.size(); ++i)
        positions[before[i]].append(i);
    QHash<QString, int> seen;
    for (int j = 1; j < after.size(); ++j) {
        const int n = seen[after[j]]++;
        const auto it = positions.constFind(after[j]);
        if (it != positions.cend() && n < it->size())
            origin[j] = it->at(n);
    }
    return origin;
}

QStringList RowTitles(const SnapshotTable& t) {
    QStringList titles;
    for (int r = 0; r < t.rows; ++r)
        titles.append(t.columns > 0 ? t.at(0, r) : QString());
    return titles;
}
QStringList ColumnTitles(const SnapshotTable& t) {
    QStringList titles;
    for (int c = 0; c < t.columns; ++c)
        titles.append(t.rows > 0 ? t.at(c, 0) : QString());
    return titles;
}

// The indices 0..count-1 that origin does not name.
QList<int> Unmatched(int count, const QList<int>& origin) {
    QList<bool> matched(count, false);
    for (int i : origin)
        if (i >= 0)
            matched[i] = true;
    QList<int> missing;
    for (int i = 0; i < count; ++i)
        if (!matched[i])
            missing.append(i);
    return missing;
}

// A text for a line of its own: control characters (tabs, line breaks, a
// name's zero filler) as blanks, no blanks around.
QString Plain(QString text) {
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() < 0xA0))
            ch = QLatin1Char(' ');
    return text.trimmed();
}

QStringList Fields(const ChangedVariable& v) {
    return {Plain(v.number), Plain(v.name), Plain(v.oldValue), Plain(v.newValue), Plain(v.unit)};
}
const QStringList HeaderFields = {QStringLiteral("Číslo"), QStringLiteral("Název"),
                                  QStringLiteral("Původní hodnota"), QStringLiteral("Nová hodnota"),
                                  QStringLiteral("Jednotka")};

} // namespace

TableComparison CompareTables(const SnapshotTable& before, const SnapshotTable& after) {
    TableComparison result;
    result.rows = after.rows;
    result.columns = after.columns;
    result.rowOrigin = MatchTitles(RowTitles(before), RowTitles(after));
    result.columnOrigin = MatchTitles(ColumnTitles(before), ColumnTitles(after));
    const qsizetype cells = qsizetype(after.rows) * after.columns;
    result.states.fill(CellState::Same, cells);
    result.oldTexts.resize(cells);
    for (int r = 0; r < after.rows; ++r) {
        const int br = result.rowOrigin[r];
        for (int c = 0; c < after.columns; ++c) {
            const int bc = result.columnOrigin[c];
            const qsizetype i = qsizetype(r) * after.columns + c;
            if (br < 0) {
                result.states[i] = CellState::AddedRow;
            } else if (bc < 0) {
                result.states[i] = CellState::AddedColumn;
            } else if (before.at(bc, br) != after.at(c, r)) {
                result.states[i] = CellState::Changed;
                result.oldTexts[i] = before.at(bc, br);
                ++result.changedCells;
            }
        }
    }
    result.addedRows = int(result.rowOrigin.count(-1));
    result.addedColumns = int(result.columnOrigin.count(-1));
    for (int br : Unmatched(before.rows, result.rowOrigin)) {
        MissingLine line{br, before.columns > 0 ? before.at(0, br) : QString(), {}};
        for (int c = 0; c < before.columns; ++c)
            line.cells.append(before.at(c, br));
        result.missingRows.append(line);
    }
    for (int bc : Unmatched(before.columns, result.columnOrigin)) {
        MissingLine line{bc, before.rows > 0 ? before.at(bc, 0) : QString(), {}};
        for (int r = 0; r < before.rows; ++r)
            line.cells.append(before.at(bc, r));
        result.missingColumns.append(line);
    }
    return result;
}

QString ComparisonSummary(const TableComparison& comparison) {
    if (comparison.identical())
        return QStringLiteral("Tabulky se neliší.");
    return QStringLiteral("Změněné buňky: %1, přidané řádky: %2, chybějící řádky: %3, přidané "
                          "sloupce: %4, chybějící sloupce: %5")
        .arg(comparison.changedCells)
        .arg(comparison.addedRows)
        .arg(comparison.missingRowCount())
        .arg(comparison.addedColumns)
        .arg(comparison.missingColumnCount());
}

QList<ChangedVariable> ChangedVariables(const SnapshotTable& before, const SnapshotTable& after,
                                        const VariableColumns& columns) {
    return ChangedVariables(before, after, CompareTables(before, after), columns);
}

QList<ChangedVariable> ChangedVariables(const SnapshotTable& before, const SnapshotTable& after,
                                        const TableComparison& comparison,
                                        const VariableColumns& columns) {
    const auto variable = [&](ChangedVariable::Change change, const SnapshotTable& t, int r) {
        return ChangedVariable{change, t.at(columns.number, r), Plain(t.at(columns.name, r)), {},
                               {},     t.at(columns.unit, r)};
    };
    // A row without a number (the empty row of a table not read yet) is no
    // variable.
    const auto isVariable = [&](const SnapshotTable& t, int r) {
        return !t.at(columns.number, r).trimmed().isEmpty();
    };
    QList<ChangedVariable> list;
    for (int r = 1; r < after.rows; ++r) {
        if (!isVariable(after, r))
            continue;
        const int br = comparison.rowOrigin.value(r, -1);
        const QString value = after.at(columns.value, r);
        if (br < 0) {
            ChangedVariable v = variable(ChangedVariable::Added, after, r);
            v.newValue = value;
            list.append(v);
        } else if (before.at(columns.value, br) != value) {
            ChangedVariable v = variable(ChangedVariable::Changed, after, r);
            v.oldValue = before.at(columns.value, br);
            v.newValue = value;
            list.append(v);
        }
    }
    for (const MissingLine& row : comparison.missingRows) {
        if (row.index == 0 || !isVariable(before, row.index))
            continue;
        ChangedVariable v = variable(ChangedVariable::Missing, before, row.index);
        v.oldValue = before.at(columns.value, row.index);
        list.append(v);
    }
    // By number; a number that is not one goes last.
    const auto key = [](const ChangedVariable& v) {
        bool ok = false;
        const int n = v.number.trimmed().toInt(&ok);
        return ok ? qint64(n) : std::numeric_limits<qint64>::max();
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const auto& a, const auto& b) { return key(a) < key(b); });
    return list;
}

QString ChangedVariablesText(const QList<ChangedVariable>& variables) {
    QString text = HeaderFields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const ChangedVariable& v : variables)
        text += Fields(v).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

QByteArray ChangedVariablesCsv(const QList<ChangedVariable>& variables) {
    QList<QStringList> rows{HeaderFields};
    for (const ChangedVariable& v : variables)
        rows.append(Fields(v));
    return RowsCsv(rows);
}

} // namespace zra::store
