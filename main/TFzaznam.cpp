#include "main/TFzaznam.h"

#include "link/WriteAudit.h"
#include "main/Snapshots.h"
#include "store/CsvExport.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

namespace zra::main {

namespace {
const QString TimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz");
}

const QStringList& TFzaznam::ColumnTitles() {
    static const QStringList titles = {QStringLiteral("Čas"),     QStringLiteral("Adresa"),
                                       QStringLiteral("ID"),      QStringLiteral("Funkce"),
                                       QStringLiteral("Registr"), QStringLiteral("Hodnoty"),
                                       QStringLiteral("Popis"),   QStringLiteral("Výsledek")};
    return titles;
}

QStringList TFzaznam::RowOf(const store::AuditEntry& e) {
    QStringList values;
    for (quint16 v : e.values)
        values << QStringLiteral("%1=0x%2").arg(v).arg(
            QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper());
    return {e.time.toString(TimeFormat),
            e.address,
            QString::number(e.unitId),
            QString::number(e.function),
            QString::number(e.registerAddress),
            values.join(QLatin1Char(' ')),
            e.description,
            e.outcome};
}

TFzaznam::TFzaznam(link::WriteAudit& audit)
    : ToolWindow(QStringLiteral("Fzaznam"), QStringLiteral("Záznam zápisů")), m_audit(audit) {
    resize(1200, 420);
    QToolBar* bar = ui::AddViewToolBar(this, QStringLiteral("Záznam"));
    TBXobnov = bar->addAction(QStringLiteral("Obnov"));
    TBXobnov->setObjectName(QStringLiteral("TBXobnov"));
    TBXexport = bar->addAction(QStringLiteral("Export CSV"));
    TBXexport->setObjectName(QStringLiteral("TBXexport"));
    connect(TBXobnov, &QAction::triggered, this, &TFzaznam::TBXobnovClick);
    connect(TBXexport, &QAction::triggered, this, &TFzaznam::TBXexportClick);

    SG_zaznam = new ui::TextGrid(this);
    SG_zaznam->setObjectName(QStringLiteral("SG_zaznam"));
    SG_zaznam->setFixed(1, 0);
    SG_zaznam->setColumnCount(int(ColumnTitles().size()));
    SG_zaznam->setRowCount(1);
    const int widths[] = {165, 95, 35, 50, 55, 290, 300, 200};
    for (int c = 0; c < ColumnTitles().size(); ++c) {
        SG_zaznam->setCell(c, 0, ColumnTitles()[c]);
        SG_zaznam->setColumnWidthPx(c, widths[c]);
    }
    SG_zaznam->horizontalHeader()->setStretchLastSection(true);
    // A long description or failure text is read whole in its tool tip.
    SG_zaznam->cellToolTip = [this](int column, int row) {
        return row > 0 ? SG_zaznam->cell(column, row) : QString();
    };
    setCentralWidget(SG_zaznam);

    statusPanel0 = new QLabel(this);
    statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    statusPanel0->setFixedWidth(110);
    statusPanel1 = new QLabel(this);
    statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    statusBar()->addWidget(statusPanel0);
    statusBar()->addWidget(statusPanel1, 1);
    showCount();

    // Entries recorded while the window is open join it at once; a hidden
    // window reads the file when it is shown.
    connect(&audit, &link::WriteAudit::recorded, this, [this](const store::AuditEntry& e) {
        if (isVisible())
            addRecorded(e);
    });
}

void TFzaznam::addRecorded(const store::AuditEntry& entry) {
    if (!entry.key.isEmpty() && entry.key == m_waitingKey &&
        entry.outcome != store::AuditSentOutcome) {
        m_waitingKey.clear();
        SG_zaznam->setCell(int(ColumnTitles().size()) - 1, m_waitingRow, entry.outcome);
        return;
    }
    appendRow(entry);
    if (!entry.key.isEmpty() && entry.outcome == store::AuditSentOutcome) {
        m_waitingKey = entry.key;
        m_waitingRow = SG_zaznam->rowCount() - 1;
    }
    showCount();
    SG_zaznam->scrollToBottom();
}

void TFzaznam::appendRow(const store::AuditEntry& entry) {
    const int row = SG_zaznam->rowCount();
    SG_zaznam->setRowCount(row + 1);
    const QStringList cells = RowOf(entry);
    for (int c = 0; c < cells.size(); ++c)
        SG_zaznam->setCell(c, row, cells[c]);
}

void TFzaznam::showCount() {
    statusPanel0->setText(QStringLiteral("Záznamů: %1").arg(SG_zaznam->rowCount() - 1));
}

bool TFzaznam::reload(QString* error) {
    int damaged = 0;
    QString why;
    const QList<store::AuditEntry> entries = m_audit.log.entries(&damaged, &why);
    SG_zaznam->setRowCount(1);
    m_waitingKey.clear();
    for (const store::AuditEntry& e : entries) {
        // The write in flight has no outcome in the file yet: it is no lost reply.
        if (!e.key.isEmpty() && e.key == m_audit.keyInFlight()) {
            store::AuditEntry sent = e;
            sent.outcome = store::AuditSentOutcome;
            addRecorded(sent);
            continue;
        }
        appendRow(e);
    }
    showCount();
    if (!why.isEmpty())
        statusPanel1->setText(why);
    else if (damaged > 0)
        statusPanel1->setText(QStringLiteral("Vynechané poškozené řádky: %1").arg(damaged));
    else
        statusPanel1->clear();
    SG_zaznam->scrollToBottom();
    if (error)
        *error = why;
    return why.isEmpty();
}

void TFzaznam::showEvent(QShowEvent* event) {
    reload();
    ToolWindow::showEvent(event);
}

void TFzaznam::TBXobnovClick() {
    ui::RunCommand(this, [this] {
        QString error;
        if (!reload(&error))
            ui::ShowWarning(this, error);
    });
}

void TFzaznam::TBXexportClick() {
    ui::RunCommand(this, [this] {
        const QString name = ui::AskSaveFile(this, QStringLiteral("Export CSV"), QString(),
                                             QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
        if (name.isEmpty())
            return;
        QString error;
        if (!store::ExportCsv(name, SnapshotCommands::TableOf(*SG_zaznam), &error))
            ui::ShowWarning(this, error);
    });
}

} // namespace zra::main
