#pragma once
#include "store/AuditLog.h"
#include "store/SnapshotFile.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

namespace zra::report {

// One table of the report, as its window shows it, with what the reader
// must know about it (a table narrowed by the configuration filter).
struct ReportSection {
    QString title;
    store::SnapshotTable table;
    QString note;
};

// What a commissioning report holds: where it comes from, the clocks, every
// table, and the writes this run sent to the installation.
struct ReportData {
    QString source;    // "Instalace 192.168.1.10, jednotka 1" or the file
    QDateTime created; // the PC's clock when the report was made
    // The installation's clock as the report's own read gave it, and the
    // PC's clock at that read; invalid when it was not read (from a file).
    QDateTime installationClock;
    QDateTime clockReadAt;
    QString clockProblem; // a clock read that gave no valid date and time
    QString firmware;     // the firmware generation, when known
    std::vector<ReportSection> sections;
    QList<store::AuditEntry> writes;
    QString writesError; // the audit log could not be read: why
};

// The section title of a table (the views table's report title); the
// sections come in reads::ReportOrder().
QString SectionTitle(store::ViewKind kind);

// The identity lines (serial number, software versions, firmware) found in
// the report's system table by their row titles.
QList<QPair<QString, QString>> IdentityOf(const ReportData& data);

// Variable numbers, ascending, as ranges: "1–3, 7, 10–12".
QString NumberRanges(const QList<int>& numbers);
// The note of a configuration table read with "Použij filtr": which
// variables it holds.
QString FilterNote(const QList<int>& numbers);

// A table with more than maxColumns columns besides its title column, cut
// into parts of at most maxColumns, each with the title column again, so that
// a wide table is printed whole rather than cut off at the page's edge.
std::vector<store::SnapshotTable> SplitColumns(const store::SnapshotTable& table, int maxColumns);
inline constexpr int PrintedColumns = 6;

// The report as HTML for a QTextDocument: headings, the identity and clock
// lines, every table (split as above, its title row repeated on every page).
QString ReportHtml(const ReportData& data);

// The report as an A4 PDF at path, written whole or not at all: the document
// is made in memory and checked to be a complete PDF, then replaces the file
// (WriteWholeFile), so a file that cannot be written keeps its old content.
// False with "Soubor \"%1\" nelze uložit. %2" (path, reason) in error.
bool WritePdf(const QString& path, const ReportData& data, QString* error);

// A report of a snapshot file: the last snapshot of each table that it holds.
// False with the loader's message when the file cannot be read.
bool FromSnapshotFile(const QString& path, ReportData* data, QString* error);

} // namespace zra::report
