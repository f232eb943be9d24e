#include "report/ReportCommands.h"

#include "app/Startup.h"
#include "config/TFkonfig.h"
#include "link/RegisterMap.h"
#include "main/Snapshots.h"
#include "main/SystemDecode.h"
#include "main/TFmain.h"
#include "reads/ViewTable.h"
#include "store/ToolFiles.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "ui/ViewWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>

namespace zra::report {

using store::ViewKind;

ReportCommands::ReportCommands(app::Windows& w) : m_w(w) {
    QMenu* menu = w.Fmain->souborButton->menu();
    menu->addSeparator();
    installationItem = menu->addAction(QStringLiteral("Protokol z instalace…"));
    installationItem->setObjectName(QStringLiteral("TBXprotokol"));
    fileItem = menu->addAction(QStringLiteral("Protokol ze souboru…"));
    fileItem->setObjectName(QStringLiteral("TBXprotokolsoubor"));
    connect(installationItem, &QAction::triggered, this, &ReportCommands::fromInstallation);
    connect(fileItem, &QAction::triggered, this, &ReportCommands::fromFile);
    installationItem->setEnabled(w.link.connectedState());
    connect(&w.link, &link::DeviceLink::connectionChanged, installationItem, &QAction::setEnabled);
}

ReportData ReportCommands::collect() const {
    ReportData data;
    data.source =
        QStringLiteral("Instalace %1, jednotka %2").arg(m_w.link.address()).arg(m_w.link.unitId());
    data.created = QDateTime::currentDateTime();
    data.installationClock = m_clock;
    data.clockReadAt = m_clockReadAt;
    data.clockProblem = m_clockProblem;
    data.firmware = QString::number(m_w.link.firmwareGeneration());
    for (const reads::TableView* view : reads::ReportOrder())
        data.sections.push_back({view->reportTitle,
                                 ui::TableOfGrid(*m_w.viewWindow(view->kind)->grid(view->kind)),
                                 QString()});
    // With "Použij filtr" the read asked only for the filter's variables.
    if (m_w.Fkonfig->TBXfiltr->isChecked()) {
        QList<int> numbers;
        for (int n = 1; n <= reg::ConfigVariables; ++n)
            if (m_w.Fkonfig->filter.contains(n))
                numbers << n;
        for (ReportSection& s : data.sections)
            if (s.title == SectionTitle(ViewKind::Konfig))
                s.note = FilterNote(numbers);
    }
    // This run's writes to this installation.
    const store::AuditLog audit(store::ToolFilePath(store::AuditLogFileName));
    for (const store::AuditEntry& e : audit.entries(nullptr, &data.writesError))
        if (e.time >= m_runStart && e.address == m_w.link.address())
            data.writes << e;
    return data;
}

bool ReportCommands::readInstallation() {
    ui::BusyCursor busy;
    m_clock = m_clockReadAt = QDateTime();
    m_clockProblem.clear();
    const auto failed = [this] { return m_w.link.exchangeFailed() || !m_w.link.connectedState(); };
    if (!m_w.Fmain->readAll() || failed())
        return false;
    // The windows whose tables "Načti vše" leaves alone (the event log).
    for (ui::ViewWindow* window : m_w.viewWindows()) {
        const auto kinds = window->kinds();
        const bool readAlready = std::any_of(kinds.begin(), kinds.end(), [](store::ViewKind k) {
            return reads::FindView(k)->readAllPosition > 0;
        });
        if (readAlready)
            continue;
        window->read();
        if (failed())
            return false;
    }
    const auto bytes = m_w.client.readInput(reg::ClockReadAddress, reg::ClockRegisters);
    m_clockReadAt = QDateTime::currentDateTime();
    if (!bytes)
        return false;
    const main::InstallationClock clock = main::DecodeClock(*bytes);
    if (clock.dateTime)
        m_clock = *clock.dateTime;
    else
        m_clockProblem = main::InvalidClockText(*bytes);
    return true;
}

void ReportCommands::fromInstallation() {
    // One command: an error thrown by any read (a decoder that read past its
    // reply, a failed send) ends the report with its message.
    ui::RunCommand(m_w.Fmain.get(), [&] {
        if (readInstallation())
            publish(collect());
    });
}

void ReportCommands::fromFile() {
    main::TFmain* window = m_w.Fmain.get();
    ui::RunCommand(window, [&] {
        const QString file = main::SnapshotCommands::WithDefaultExtension(ui::Ui().openFileName(
            window, QStringLiteral("Protokol ze souboru"), m_w.snapshots.startDirectory,
            main::SnapshotCommands::FileFilter()));
        if (file.isEmpty())
            return;
        ReportData data;
        QString error;
        if (!FromSnapshotFile(file, &data, &error)) {
            ui::ShowWarning(window, error);
            return;
        }
        publish(data);
    });
}

void ReportCommands::publish(const ReportData& data) {
    main::TFmain* window = m_w.Fmain.get();
    const QString pdf =
        ui::AskSaveFile(window, QStringLiteral("Protokol do PDF"), m_w.snapshots.startDirectory,
                        QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (pdf.isEmpty())
        return;
    QString error;
    if (!WritePdf(pdf, data, &error)) {
        ui::ShowWarning(window, error);
        return;
    }
    // The same document in a preview, from which it can also be printed.
    QTextDocument doc;
    doc.setHtml(ReportHtml(data));
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, window);
    preview.setWindowTitle(QStringLiteral("Protokol: %1").arg(QFileInfo(pdf).fileName()));
    connect(&preview, &QPrintPreviewDialog::paintRequested, &doc,
            [&doc](QPrinter* p) { doc.print(p); });
    ui::Ui().execDialog(&preview);
}

} // namespace zra::report
