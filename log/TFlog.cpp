#include "log/TFlog.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "log/EventReads.h"
#include "reads/ViewTable.h"
#include "store/TableSink.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

namespace zra::log {

TFlog::TFlog(link::DeviceClient& client, link::AlarmDescriptions& descriptions)
    : ViewWindow(QStringLiteral("Flog"), reads::FindView(store::ViewKind::Log)->windowCaption,
                 client.link()),
      m_client(client), m_descriptions(descriptions) {
    resize(520, 499);
    buildToolbar();
    buildTable();
}

TFlog::~TFlog() = default;

void TFlog::buildToolbar() {
    QToolBar* bar = addViewToolBar();
    addSouborMenu();
    addReadItem();

    bar->addWidget(new QLabel(QStringLiteral("  Kolik "), bar));
    TBXSpinEditItem1 = new QSpinBox(bar);
    TBXSpinEditItem1->setObjectName(QStringLiteral("TBXSpinEditItem1"));
    TBXSpinEditItem1->setAccessibleName(QStringLiteral("Kolik"));
    TBXSpinEditItem1->setRange(1, MaxEvents);
    TBXSpinEditItem1->setValue(MaxEvents);
    bar->addWidget(TBXSpinEditItem1);

    bar->addSeparator();
    addHistoryList("TBXhistorie");
    historie->setAccessibleName(QStringLiteral("historie"));
    historie->setFixedWidth(120);

    TBXLabelItem1 = new QLabel(bar);
    TBXLabelItem1->setObjectName(QStringLiteral("TBXLabelItem1"));
    bar->addWidget(TBXLabelItem1);
}

void TFlog::buildTable() {
    SG_log = new ui::TextGrid(this);
    SG_log->setObjectName(QStringLiteral("SG_log"));
    SG_log->setColumnCount(EventColumns);
    // The title row and one empty event row.
    SG_log->setRowCount(2);
    SG_log->setDefaultRowHeight(21);
    SG_log->setTitleColor(QColor(223, 233, 230));
    const int widths[EventColumns] = {30, 64, 64, 215, 92};
    for (int c = 0; c < EventColumns; ++c) {
        SG_log->setCell(c, 0, EventColumnTitles()[c]);
        SG_log->setColumnWidthPx(c, widths[c]);
    }
    setCentralWidget(SG_log);
}

// ---- read: the event count, then one record per event with its description ----

void TFlog::readLog() {
    // The table is drawn row by row and the window stays responsive; the
    // label counts down the events still to read.
    ui::GridSink grid(*SG_log, true);
    ReadEvents(m_client, m_descriptions, TBXSpinEditItem1->value(), grid,
               [this](int left) { TBXLabelItem1->setText(QString::number(left)); });
}

} // namespace zra::log
