#pragma once
#include "report/CommissioningReport.h"

#include <QDateTime>
#include <QObject>

class QAction;

namespace zra::main {
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
    explicit ReportCommands(main::Windows& windows);

    void fromInstallation();
    void fromFile();
    // What the windows show now, with this run's writes from the audit log.
    ReportData collect() const;

    QAction* installationItem;
    QAction* fileItem;

private:
    void publish(const ReportData& data);

    main::Windows& m_w;
    QDateTime m_runStart = QDateTime::currentDateTime();
};

} // namespace zra::report
