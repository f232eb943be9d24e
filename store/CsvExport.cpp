#include "store/CsvExport.h"

#include "store/ToolFiles.h"

#include <QRegularExpression>

namespace zra::store {

namespace {

// A number as the tables write it: an optional sign, digits, and decimals
// after ',' or '.'. A spreadsheet reads it as a number, never as a formula.
bool IsPlainNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([,.][0-9]+)?$"));
    return number.match(text).hasMatch();
}

// A text that a spreadsheet would take for a formula ("=HYPERLINK(...)",
// "+A1", "-1+1", "@SUM(...)"), also after a tab or CR that it drops.
bool LooksLikeFormula(const QString& text) {
    if (text.isEmpty() || IsPlainNumber(text))
        return false;
    const char16_t first = text.front().unicode();
    return first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' ||
           first == '\r';
}

QString Field(QString text) {
    // Names and alarm texts come from the installation and snapshot files
    // from anyone: such a text is kept as text, behind a quote.
    const bool formula = LooksLikeFormula(text);
    if (formula)
        text.prepend(QLatin1Char('\''));
    bool quote = formula;
    for (QChar& ch : text) {
        const char16_t u = ch.unicode();
        if (u == ';' || u == '"' || u == '\r' || u == '\n')
            quote = true;
        else if (u != '\t' && (u < 0x20 || (u >= 0x7F && u < 0xA0)))
            ch = QLatin1Char(' ');
    }
    if (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()))
        quote = true;
    if (!quote)
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QByteArray Line(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += QLatin1Char(';');
        line += Field(fields[i]);
    }
    return line.toUtf8() + "\r\n";
}

} // namespace

QByteArray RowsCsv(const QList<QStringList>& rows) {
    QByteArray csv("\xEF\xBB\xBF");
    for (const QStringList& row : rows)
        csv += Line(row);
    return csv;
}

QByteArray TableCsv(const SnapshotTable& table) {
    QList<QStringList> rows;
    for (int r = 0; r < table.rows; ++r)
        rows.append(table.cells.mid(qsizetype(r) * table.columns, table.columns));
    return RowsCsv(rows);
}

bool ExportCsv(const QString& path, const SnapshotTable& table, QString* error) {
    QString reason;
    if (WriteWholeFile(path, TableCsv(table), &reason))
        return true;
    if (error)
        *error = QStringLiteral("Soubor \"%1\" nelze uložit. %2").arg(path, reason);
    return false;
}

} // namespace zra::store
