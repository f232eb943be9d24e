#include "log/TFlog.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "log/EventDecode.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace zra::log {

namespace {
// The most events one read asks for; the count byte never exceeds 255 anyway.
constexpr int MaxEvents = 300;

enum Column { Number, Source, Level, Event, Time, Columns };
} // namespace

TFlog::TFlog(link::DeviceClient& client, link::AlarmDescriptions& descriptions)
    : ToolWindow(QStringLiteral("Flog"), QStringLiteral("Event log")), m_client(client),
      m_descriptions(descriptions) {
    resize(520, 499);
    buildToolbar();
    buildTable();

    link::DeviceLink& link = m_client.link();
    TBXnacti->setEnabled(link.connectedState());
    connect(&link, &link::DeviceLink::connectionChanged, TBXnacti, &QAction::setEnabled);
}

TFlog::~TFlog() = default;

void TFlog::buildToolbar() {
    QToolBar* bar = ui::AddViewToolBar(this, windowTitle());

    const ui::SouborMenu soubor = ui::AddSouborMenu(bar);
    souborButton = soubor.button;
    TBXotevri = soubor.TBXotevri;
    TBXuloz = soubor.TBXuloz;

    TBXnacti = bar->addAction(QStringLiteral("Načti"));
    TBXnacti->setObjectName(QStringLiteral("TBXnacti"));
    connect(TBXnacti, &QAction::triggered, this, &TFlog::TBXnactiClick);

    bar->addWidget(new QLabel(QStringLiteral("  Kolik "), bar));
    TBXSpinEditItem1 = new QSpinBox(bar);
    TBXSpinEditItem1->setObjectName(QStringLiteral("TBXSpinEditItem1"));
    TBXSpinEditItem1->setAccessibleName(QStringLiteral("Kolik"));
    TBXSpinEditItem1->setRange(1, MaxEvents);
    TBXSpinEditItem1->setValue(MaxEvents);
    bar->addWidget(TBXSpinEditItem1);

    bar->addSeparator();
    TBXhistorie = ui::AddHistoryList(bar, "TBXhistorie");
    TBXhistorie->setAccessibleName(QStringLiteral("historie"));
    TBXhistorie->setFixedWidth(120);

    TBXLabelItem1 = new QLabel(bar);
    TBXLabelItem1->setObjectName(QStringLiteral("TBXLabelItem1"));
    bar->addWidget(TBXLabelItem1);
}

void TFlog::buildTable() {
    SG_log = new ui::TextGrid(this);
    SG_log->setObjectName(QStringLiteral("SG_log"));
    SG_log->setColumnCount(Columns);
    // The title row and one empty event row.
    SG_log->setRowCount(2);
    SG_log->setDefaultRowHeight(21);
    SG_log->setTitleColor(QColor(223, 233, 230));
    const QString titles[Columns] = {QStringLiteral("#"), QStringLiteral("Dev"),
                                     QStringLiteral("Typ"), QStringLiteral("Událost"),
                                     QStringLiteral("Datum a čas")};
    const int widths[Columns] = {30, 64, 64, 215, 92};
    for (int c = 0; c < Columns; ++c) {
        SG_log->setCell(c, 0, titles[c]);
        SG_log->setColumnWidthPx(c, widths[c]);
    }
    setCentralWidget(SG_log);
}

// ---- read: the event count, then one record per event with its description ----

void TFlog::TBXnactiClick() {
    ui::RunCommand(this, [this] {
        ui::BusyCursor busy;
        readLog();
    });
}

void TFlog::readLog() {
    const auto count = m_client.readCount(reg::EventCount);
    if (!count)
        return;
    const int n = std::min(*count, TBXSpinEditItem1->value());
    SG_log->setRowCount(n + 1);

    for (int i = 1; i <= n; ++i) {
        TBXLabelItem1->setText(QString::number(n - i));
        SG_log->setInteger(Number, i, i);
        const auto record = m_client.readInput(reg::EventRecord.address(i), reg::EventRecord.size);
        if (!record)
            return;
        const EventRow row = DecodeEvent(*record);
        SG_log->setCell(Source, i, row.source);
        SG_log->setCell(Level, i, row.level);
        SG_log->setCell(Time, i, row.time);
        const auto description = m_descriptions.describeAlarm(row.code);
        if (!description)
            return;
        SG_log->setCell(Event, i, link::AlarmCellText(row.code, *description));
        // The table is drawn row by row and the window stays responsive.
        QCoreApplication::processEvents();
    }
}

} // namespace zra::log
