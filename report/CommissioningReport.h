#pragma once
#include "store/AuditLog.h"
#include "store/SnapshotFile.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

namespace zra::report {

// One table of the report, as its window shows it.
struct ReportSection {
    QString title;
    store::SnapshotTable table;
};

// What a commissioning report holds: where it comes from, the clocks, every
// table, and the writes this run sent to the installation.
struct ReportData {
    QString source;            // "Instalace 192.168.1.10, jednotka 1" or the file
    QDateTime created;         // the PC's clock when the report was made
    QString installationClock; // as the main window shows it, empty from a file
    QString firmware;          // the firmware generation, when known
    std::vector<ReportSection> sections;
    QList<store::AuditEntry> writes;
};

// The section titles, in the report's order, by the kind of their table.
QString SectionTitle(store::ViewKind kind);
inline constexpr store::ViewKind SectionOrder[] = {
    store::ViewKind::Main,   store::ViewKind::Alarm,   store::ViewKind::Moduly,
    store::ViewKind::Faze,   store::ViewKind::AcGroup, store::ViewKind::DcGroup,
    store::ViewKind::Konfig, store::ViewKind::Log};

// The identity lines (serial number, software versions, firmware) found in
// the report's system table by their row titles.
QList<QPair<QString, QString>> IdentityOf(const ReportData& data);

// A table with more than maxColumns columns besides its title column, cut
// into parts of at most maxColumns, each with the title column again, so that
// a wide table is printed whole rather than cut off at the page's edge.
std::vector<store::SnapshotTable> SplitColumns(const store::SnapshotTable& table, int maxColumns);
inline constexpr int PrintedColumns = 6;

// The report as HTML for a QTextDocument: headings, the identity and clock
// lines, every table (split as above, its title row repeated on every page).
QString ReportHtml(const ReportData& data);

// The report as an A4 PDF at path; false with the reason in error.
bool WritePdf(const QString& path, const ReportData& data, QString* error);

// A report of a snapshot file: the last snapshot of each table that it holds.
// False with the loader's message when the file cannot be read.
bool FromSnapshotFile(const QString& path, ReportData* data, QString* error);

} // namespace zra::report
