// Comparing two tables of one kind: rows and columns matched by title, the
// fallback among equal titles, and the configuration table's change list.
#include "store/TableCompare.h"
#include "config/ConfigDecode.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace zra::store;

namespace {

// The change list reads the configuration table's columns by these numbers.
static_assert(VariableColumns{}.number == zra::config::NumberColumn &&
              VariableColumns{}.name == zra::config::NameColumn &&
              VariableColumns{}.value == zra::config::ValueColumn &&
              VariableColumns{}.unit == zra::config::UnitColumn);

// A table from its rows, cells separated by '|'.
SnapshotTable Table(const QStringList& rows) {
    SnapshotTable t(rows.isEmpty() ? 0 : int(rows[0].split('|').size()), int(rows.size()));
    for (int r = 0; r < t.rows; ++r)
        for (int c = 0; c < t.columns; ++c)
            t.set(c, r, rows[r].split('|').value(c));
    return t;
}

using S = CellState;

TEST(TableCompare, MovedRowsAndColumnsMatchByTitle) {
    const auto before = Table({"|A|B", "x|1|2", "y|3|4", "z|5|6"});
    const auto after = Table({"|B|A", "z|6|5", "x|2|1", "y|4|3"});
    const TableComparison cmp = CompareTables(before, after);
    EXPECT_TRUE(cmp.identical());
    EXPECT_EQ(cmp.rowOrigin, (QList<int>{0, 3, 1, 2}));
    EXPECT_EQ(cmp.columnOrigin, (QList<int>{0, 2, 1}));
    EXPECT_EQ(ComparisonSummary(cmp), "Tabulky se neliší.");
}

TEST(TableCompare, ARenamedRowIsMissingAndAddedAndAChangedCellKeepsItsOldText) {
    const auto before = Table({"|A|B", "x|1|2", "y|3|4"});
    const auto after = Table({"|A|C", "x|1|9", "w|3|4"}); // B renamed C, y renamed w
    const TableComparison cmp = CompareTables(before, after);
    EXPECT_EQ(cmp.states, (QList<S>{S::Same, S::Same, S::AddedColumn, S::Same, S::Same,
                                    S::AddedColumn, S::AddedRow, S::AddedRow, S::AddedRow}));
    EXPECT_EQ(cmp.missingRows, (QList<MissingLine>{{2, "y", {"y", "3", "4"}}}));
    EXPECT_EQ(cmp.missingColumns, (QList<MissingLine>{{2, "B", {"B", "2", "4"}}}));
    EXPECT_EQ(ComparisonSummary(cmp), "Změněné buňky: 0, přidané řádky: 1, chybějící řádky: 1, "
                                      "přidané sloupce: 1, chybějící sloupce: 1");

    const TableComparison changed = CompareTables(before, Table({"|A|B", "y|3|4", "x|7|2"}));
    EXPECT_EQ(changed.changedCells, 1);
    EXPECT_EQ(changed.state(1, 2), S::Changed);
    EXPECT_EQ(changed.oldText(1, 2), "1");
}

TEST(TableCompare, RepeatedAndEmptyTitlesMatchByPositionAmongEqualTitles) {
    // The second "M" of after is the second "M" of before, although the
    // first one moved; the second empty title likewise; the third "M" is new.
    const auto before = Table({"|v", "M|1", "|e1", "N|2", "M|3", "|e2"});
    const auto after = Table({"|v", "N|2", "M|1", "|e1", "M|4", "|e2", "M|5"});
    const TableComparison cmp = CompareTables(before, after);
    EXPECT_EQ(cmp.rowOrigin, (QList<int>{0, 3, 1, 2, 4, 5, -1}));
    EXPECT_EQ(cmp.changedCells, 1);
    EXPECT_EQ(cmp.state(1, 4), S::Changed);
    EXPECT_EQ(cmp.oldText(1, 4), "3");
    EXPECT_EQ(cmp.addedRows, 1);
    EXPECT_TRUE(cmp.missingRows.isEmpty());
}

TEST(TableCompare, EmptyTablesAndTablesOfDifferentSizes) {
    struct Case {
        SnapshotTable before, after;
        QString summary;
    } cases[] = {
        {{}, {}, "Tabulky se neliší."},
        {{},
         Table({"|A", "x|1"}),
         "Změněné buňky: 0, přidané řádky: 2, chybějící řádky: 0, přidané sloupce: 2, "
         "chybějící sloupce: 0"},
        {Table({"|A", "x|1"}),
         {},
         "Změněné buňky: 0, přidané řádky: 0, chybějící řádky: 2, přidané sloupce: 0, "
         "chybějící sloupce: 2"},
        {Table({"|A", "x|1"}), Table({"|A|B", "x|2|3", "y|4|5"}),
         "Změněné buňky: 1, přidané řádky: 1, chybějící řádky: 0, přidané sloupce: 1, "
         "chybějící sloupce: 0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComparisonSummary(CompareTables(c.before, c.after)), c.summary);
    // Every cell of a new row is AddedRow, also in a new column.
    const TableComparison grown = CompareTables(cases[3].before, cases[3].after);
    EXPECT_EQ(grown.states.mid(3), (QList<S>{S::Same, S::Changed, S::AddedColumn, S::AddedRow,
                                             S::AddedRow, S::AddedRow}));
}

// A configuration table of ten columns: number, name, value, unit.
SnapshotTable Konfig(const QList<QStringList>& variables) {
    SnapshotTable t(10, int(variables.size()) + 1);
    t.set(0, 0, "#");
    for (int r = 1; r < t.rows; ++r)
        for (int i = 0; i < 4; ++i)
            t.set(QList<int>{0, 1, 2, 5}[i], r, variables[r - 1][i]);
    return t;
}

TEST(ChangedVariables, ChangedAddedAndMissingByNumberWithTheirTexts) {
    const QString name = QStringLiteral("Napětí") + QString(3, QChar(0));
    const auto before = Konfig({{"3", "Proud", "12", "A"},
                                {"12", name, "54,00", "V"},
                                {"7", "Režim", "1", ""},
                                {"5", "Teplota", "20,0", "°C"}});
    const auto after = Konfig({{"12", name, "53,50", "V"},
                               {"3", "Proud", "12", "A"},
                               {"10", "Nová", "0", "s"},
                               {"5", "Teplota", "20,0", "°C"}});
    using C = ChangedVariable;
    const QList<C> list = ChangedVariables(before, after);
    EXPECT_EQ(list, (QList<C>{{C::Missing, "7", "Režim", "1", "", ""},
                              {C::Added, "10", "Nová", "", "0", "s"},
                              {C::Changed, "12", "Napětí", "54,00", "53,50", "V"}}));
    EXPECT_EQ(ChangedVariablesText(list), "Číslo\tNázev\tPůvodní hodnota\tNová hodnota\tJednotka\n"
                                          "7\tRežim\t1\t\t\n"
                                          "10\tNová\t\t0\ts\n"
                                          "12\tNapětí\t54,00\t53,50\tV\n");
    EXPECT_EQ(ChangedVariablesCsv(list),
              "\xEF\xBB\xBF"
              "Číslo;Název;Původní hodnota;Nová hodnota;Jednotka\r\n"
              "7;Režim;1;;\r\n10;Nová;;0;s\r\n12;Napětí;54,00;53,50;V\r\n");
    // The empty row of a table not read yet is no variable.
    EXPECT_EQ(ChangedVariables(Konfig({{"", "", "", ""}}), Konfig({{"3", "Proud", "12", "A"}})),
              (QList<C>{{C::Added, "3", "Proud", "", "12", "A"}}));
    EXPECT_EQ(ChangedVariables(Konfig({{"3", "Proud", "12", "A"}}), Konfig({{"", "", "", ""}})),
              (QList<C>{{C::Missing, "3", "Proud", "12", "", "A"}}));
}

} // namespace
