#include "cli/Output.h"

#include "config/ConfigDecode.h"
#include "store/CsvExport.h"
#include "text/CellText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace zra::cli {

namespace {

QStringList RowOf(const store::SnapshotTable& table, int r) {
    return table.cells.mid(qsizetype(r) * table.columns, table.columns);
}

QString WithoutTrailingBlanks(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

QString AlignedTable(const store::SnapshotTable& table) {
    QList<qsizetype> widths(table.columns, 0);
    for (int r = 0; r < table.rows; ++r)
        for (int c = 0; c < table.columns; ++c)
            widths[c] = std::max(widths[c], text::DisplayText(table.at(c, r)).size());
    QString out;
    for (int r = 0; r < table.rows; ++r) {
        QString line;
        for (int c = 0; c < table.columns; ++c) {
            if (c > 0)
                line += QStringLiteral("  ");
            line += text::DisplayText(table.at(c, r)).leftJustified(widths[c]);
        }
        out += WithoutTrailingBlanks(line) + QLatin1Char('\n');
    }
    return out;
}

// The number a value cell shows, read back with either decimal separator.
QJsonValue NumberOf(const QString& text, int decimals) {
    QString t = text.trimmed();
    t.replace(QLocale::system().decimalPoint(), QStringLiteral("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    if (decimals == 0) {
        const qint64 n = t.toLongLong(&ok);
        return ok ? QJsonValue(n) : QJsonValue();
    }
    const double v = QLocale::c().toDouble(t, &ok);
    return ok ? QJsonValue(v) : QJsonValue();
}

QJsonObject TableObject(const store::SnapshotTable& table) {
    QJsonArray rows, columns, cells;
    for (int c = 1; c < table.columns; ++c)
        columns.append(table.at(c, 0));
    for (int r = 1; r < table.rows; ++r) {
        rows.append(table.at(0, r));
        QJsonArray row;
        for (int c = 1; c < table.columns; ++c)
            row.append(table.at(c, r));
        cells.append(row);
    }
    return {{QStringLiteral("rows"), rows},
            {QStringLiteral("columns"), columns},
            {QStringLiteral("cells"), cells}};
}

} // namespace

QString IsoLocalTime(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray TextRound(const Round& round) {
    QString out;
    const QString where = QStringLiteral("%1, unit %2, %3")
                              .arg(round.address)
                              .arg(round.unit)
                              .arg(IsoLocalTime(round.time));
    for (const ViewTable& v : round.tables)
        out += QStringLiteral("== %1 (%2) ==\n").arg(ViewName(v.view), where) +
               AlignedTable(v.table) + QLatin1Char('\n');
    return out.toUtf8();
}

QByteArray CsvRound(const Round& round, bool first) {
    // Every row begins with the round's time and its view, so that a script
    // tells rounds and tables apart by the first two columns.
    const QString time = IsoLocalTime(round.time);
    QList<QStringList> rows;
    for (const ViewTable& v : round.tables) {
        if (!rows.isEmpty())
            rows << QStringList();
        for (int r = 0; r < v.table.rows; ++r)
            rows << (QStringList{time, ViewName(v.view)} + RowOf(v.table, r));
    }
    const QByteArray csv = store::RowsCsv(rows);
    // RowsCsv begins with the byte-order mark, which belongs at the start of
    // the output only.
    return first ? csv : QByteArray("\r\n") + csv.mid(3);
}

QJsonArray ConfigVariables(const store::SnapshotTable& table) {
    QJsonArray variables;
    for (int r = 1; r < table.rows; ++r) {
        bool numbered = false;
        const int number = table.at(config::NumberColumn, r).toInt(&numbered);
        if (!numbered)
            continue; // the empty row of a table without variables
        const QString value = table.at(config::ValueColumn, r);
        const int decimals =
            config::DecimalsOfMultiplier(table.at(config::MultiplierColumn, r)).value_or(0);
        variables.append(QJsonObject{
            {QStringLiteral("number"), number},
            {QStringLiteral("name"),
             WithoutTrailingBlanks(text::DisplayText(table.at(config::NameColumn, r)))},
            {QStringLiteral("value"), NumberOf(value, decimals)},
            {QStringLiteral("valueText"), value},
            {QStringLiteral("validity"), table.at(config::ValidityColumn, r)},
            {QStringLiteral("id"), table.at(config::IdColumn, r).toInt()},
            {QStringLiteral("unit"), table.at(config::UnitColumn, r)},
            {QStringLiteral("multiplier"), table.at(config::MultiplierColumn, r).toLongLong()},
        });
    }
    return variables;
}

QByteArray JsonRound(const Round& round) {
    QJsonObject views;
    for (const ViewTable& v : round.tables)
        views.insert(ViewName(v.view), v.view == store::ViewKind::Konfig
                                           ? QJsonValue(ConfigVariables(v.table))
                                           : QJsonValue(TableObject(v.table)));
    const QJsonObject object{{QStringLiteral("address"), round.address},
                             {QStringLiteral("unit"), round.unit},
                             {QStringLiteral("time"), IsoLocalTime(round.time)},
                             {QStringLiteral("views"), views}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace zra::cli
