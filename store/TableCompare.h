#pragma once
#include "store/SnapshotFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zra::store {

// What a cell of the "after" table is compared with the "before" table. A
// cell of a row and a column that are both new is AddedRow.
enum class CellState : quint8 { Same, Changed, AddedRow, AddedColumn };

// A row or column of "before" that "after" lacks.
struct MissingLine {
    int index = 0;     // its position in "before"
    QString title;     // its title (column 0 of a row, row 0 of a column)
    QStringList cells; // its cells in "before", the title first
    bool operator==(const MissingLine&) const = default;
};

// Two tables of the same kind compared, laid out as "after".
struct TableComparison {
    int rows = 0;
    int columns = 0;
    QList<CellState> states; // row-major, as SnapshotTable::cells
    QList<QString> oldTexts; // the text in "before" of a changed cell, else empty
    QList<int> rowOrigin;    // per row of "after": its row in "before", or -1 when added
    QList<int> columnOrigin; // per column of "after": its column in "before", or -1
    QList<MissingLine> missingRows;
    QList<MissingLine> missingColumns;
    int changedCells = 0;
    int addedRows = 0;
    int addedColumns = 0;

    CellState state(int c, int r) const {
        return states.value(qsizetype(r) * columns + c, CellState::Same);
    }
    QString oldText(int c, int r) const { return oldTexts.value(qsizetype(r) * columns + c); }
    int missingRowCount() const { return int(missingRows.size()); }
    int missingColumnCount() const { return int(missingColumns.size()); }
    bool identical() const {
        return changedCells == 0 && addedRows == 0 && addedColumns == 0 && missingRows.isEmpty() &&
               missingColumns.isEmpty();
    }
};

// Compares after with before. The title row 0 matches row 0 and the title
// column 0 matches column 0; every other row is matched by its title (column
// 0) and every other column by its title (row 0), the n-th of equal titles
// (an empty title included) matching the n-th of that title in "before".
TableComparison CompareTables(const SnapshotTable& before, const SnapshotTable& after);

// One line in Czech: "Změněné buňky: 3, přidané řádky: 1, chybějící řádky: 0,
// přidané sloupce: 0, chybějící sloupce: 2", or "Tabulky se neliší." when
// nothing differs.
QString ComparisonSummary(const TableComparison& comparison);

// The columns of the configuration table that a change list reads
// (config/ConfigDecode.h: NumberColumn, NameColumn, ValueColumn, UnitColumn).
struct VariableColumns {
    int number = 0;
    int name = 1;
    int value = 2;
    int unit = 5;
};

// A configuration variable whose value differs between two tables.
struct ChangedVariable {
    enum Change : quint8 { Changed, Added, Missing };
    Change change = Changed;
    QString number;
    QString name;     // control characters (the name's zero filler) as blanks, trimmed
    QString oldValue; // empty when added
    QString newValue; // empty when missing
    QString unit;
    bool operator==(const ChangedVariable&) const = default;
};

// The variables of two configuration tables (rows 1.., matched as
// CompareTables matches rows: by the number in column 0) whose value text
// differs, that "after" added or that it lacks, ordered by number. Name and
// unit come from "after", for a missing variable from "before".
QList<ChangedVariable> ChangedVariables(const SnapshotTable& before, const SnapshotTable& after,
                                        const VariableColumns& columns = {});
// The same with the rows already matched by CompareTables(before, after).
QList<ChangedVariable> ChangedVariables(const SnapshotTable& before, const SnapshotTable& after,
                                        const TableComparison& comparison,
                                        const VariableColumns& columns = {});

// For the clipboard: the header line "Číslo\tNázev\tPůvodní hodnota\tNová
// hodnota\tJednotka" and one line per variable, each ended by '\n'; tabs and
// line breaks inside a text become blanks.
QString ChangedVariablesText(const QList<ChangedVariable>& variables);
// The same rows as CSV (RowsCsv).
QByteArray ChangedVariablesCsv(const QList<ChangedVariable>& variables);

} // namespace zra::store
