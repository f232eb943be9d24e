// Tables as CSV for a spreadsheet with Czech regional settings: the exact
// bytes, the quoting, and a file written whole or not at all.
#include "store/CsvExport.h"
#include "store/ToolFiles.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zra::store;

namespace {

const QByteArray Bom = "\xEF\xBB\xBF";

TEST(CsvExport, QuotesAFieldOnlyWhenASpreadsheetWouldSplitTrimOrEvaluateIt) {
    const std::pair<QString, QByteArray> cases[] = {
        {"54,00", "54,00"},
        {"", ""},
        {"a\tb", "a\tb"},
        {"a;b", "\"a;b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\rhere", "\"cr\rhere\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {QStringLiteral("N") + QChar(0) + QChar(0), "\"N  \""}, // zero filler shown as blanks
        // A text a spreadsheet would evaluate is kept as text behind a quote.
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1+1", "\"'+1+1\""},
        {"-1+1", "\"'-1+1\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"-", "\"'-\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        // Numbers stay numbers, negative ones too.
        {"-5", "-5"},
        {"-2,50", "-2,50"},
        {"+3", "+3"},
        {"-0.5", "-0.5"},
    };
    for (const auto& [field, csv] : cases)
        EXPECT_EQ(RowsCsv({{field, "x"}}), Bom + csv + ";x\r\n") << field.toStdString();
}

TEST(CsvExport, TableBytesWithBomTitlesCrLfAndUtf8) {
    SnapshotTable t(2, 2);
    t.cells = {"", QStringLiteral("Napětí"), "U1", "230,5"};
    // 'ě' is C4 9B in UTF-8.
    EXPECT_EQ(TableCsv(t), QByteArray::fromHex("EFBBBF 3B 4E 61 70 C4 9B 74 C3 AD 0D0A"
                                               "5531 3B 3233302C35 0D0A"));
    EXPECT_EQ(TableCsv(SnapshotTable()), Bom);
}

TEST(CsvExport, ExportWritesTheWholeFileOrLeavesTheOldOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.csv");
    SnapshotTable t(2, 1);
    t.cells = {"a", "b"};
    QString error;
    ASSERT_TRUE(ExportCsv(path, t, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), TableCsv(t));
    f.close();

    t.cells = {"c", "d"};
    FailWriteAt = [](qint64 offset) { return offset == 4; };
    EXPECT_FALSE(ExportCsv(path, t, &error));
    FailWriteAt = nullptr;
    EXPECT_TRUE(error.startsWith(QStringLiteral("Soubor \"%1\" nelze uložit. ").arg(path)))
        << error.toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), Bom + "a;b\r\n");
}

} // namespace
