#pragma once
#include "store/SnapshotFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zra::store {

// CSV that a spreadsheet with Czech regional settings opens as it is: UTF-8
// with a byte-order mark (so the encoding is recognised), fields separated by
// ';' (the list separator where ',' is the decimal separator), every line
// ended by CR LF. A field holding ';', '"', CR or LF, or beginning or ending
// with a blank, is put in '"' with each '"' doubled. Other control characters
// (a name's zero filler) are written as blanks, as the tables show them. A
// text that a spreadsheet would evaluate, one beginning with '=', '+', '-',
// '@', a tab or CR, gets a leading "'" and is quoted ("'=1+1"); numbers, also
// negative ones ("-5", "-2,50"), stay numbers.
QByteArray RowsCsv(const QList<QStringList>& rows);
// Every cell of the table, the title row 0 and the title column 0 included,
// one line per row.
QByteArray TableCsv(const SnapshotTable& table);

// Writes TableCsv(table) as the whole of path (WriteWholeFile), or nothing.
// Error: "Soubor \"%1\" nelze uložit. %2" (path, reason).
bool ExportCsv(const QString& path, const SnapshotTable& table, QString* error);

} // namespace zra::store
