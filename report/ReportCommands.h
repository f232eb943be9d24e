#pragma once
#include "report/CommissioningReport.h"

#include <QDateTime>
#include <QObject>

class QAction;

namespace zra::app {
struct Windows;
}

namespace zra::report {

// The main window's commissioning report commands, after its documented
// items: "Protokol z instalace…" reads every table of the connected
// installation (read-all and the event log) and "Protokol ze souboru…" takes
// a snapshot file's last tables; either asks for a PDF file, writes the
// report there and shows it in a print preview.
class ReportCommands : public QObject {
    Q_OBJECT
public:
    explicit ReportCommands(app::Windows& windows);

    void fromInstallation();
    void fromFile();
    // What the windows show now, with this run's writes from the audit log
    // and the installation's clock as the last report's read gave it.
    ReportData collect() const;

    QAction* installationItem;
    QAction* fileItem;

private:
    // Every table fresh (read-all, then the event log, which read-all leaves
    // out) and the clock; false when a read failed (it said so itself). A
    // read that ends with an error ends the report with it.
    bool readInstallation();
    void publish(const ReportData& data);

    app::Windows& m_w;
    QDateTime m_runStart = QDateTime::currentDateTime();
    // The installation's clock from the report's own read, with the PC's
    // clock at that read (the pickers follow the PC while "Aktualizuj čas"
    // is ticked), or why it gave no date and time.
    QDateTime m_clock;
    QDateTime m_clockReadAt;
    QString m_clockProblem;
};

} // namespace zra::report
