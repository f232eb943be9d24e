#pragma once
#include "cli/ViewReads.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QString>

namespace zra::cli {

// What one round read: where, when, and each view's table.
struct Round {
    QString address;
    int unit = 1;
    QDateTime time; // local, when the round started
    QList<ViewTable> tables;
};

// The round's time as ISO 8601 local time with its offset from UTC.
QString IsoLocalTime(const QDateTime& time);

// Each table under a heading line naming its view, the round's address, unit
// and time; columns aligned, control characters shown as blanks; a blank
// line after each table. UTF-8.
QByteArray TextRound(const Round& round);
// The tables' rows as the CSV export writes them (store::RowsCsv), each
// after two cells of its own: the round's time (as IsoLocalTime) and the
// view's name; a blank line between tables. The byte-order mark only when
// first; a later round begins with a blank line instead.
QByteArray CsvRound(const Round& round, bool first);
// One JSON object on one line: {"address", "unit", "time", "views": {name:
// {"rows", "columns", "cells"}}}; config is a list of its variables instead.
QByteArray JsonRound(const Round& round);

// The variables of the configuration table, one object per row: number,
// name (trailing blanks and filler cut), value (a number, null when the cell
// holds none), valueText (as the table shows it), validity, id, unit and
// multiplier.
QJsonArray ConfigVariables(const store::SnapshotTable& table);

} // namespace zra::cli
