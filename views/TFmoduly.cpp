#include "views/TFmoduly.h"

#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "reads/ViewTable.h"
#include "store/TableSink.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/ModuleDecode.h"
#include "views/TFmodul_akce.h"
#include "views/ViewReads.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

namespace zra::views {

namespace {
constexpr int ValueRows = 37;
const QSize EditButtonSize(40, 20);
} // namespace

TFmoduly::TFmoduly(link::DeviceClient& client, TFmodul_akce& dialog)
    : ViewWindow(QStringLiteral("Fmoduly"), reads::FindView(store::ViewKind::Moduly)->windowCaption,
                 client.link()),
      SG_mod(new ui::TextGrid), m_client(client), m_dialog(dialog),
      m_shape(*SG_mod, ui::TableShape::Rows) {
    resize(900, 600);
    QToolBar* bar = addViewToolBar();
    addSouborMenu();
    addReadItem();
    TBXedit = bar->addAction(QStringLiteral("Edit"));
    TBXedit->setObjectName(QStringLiteral("TBXedit"));
    TBXedit->setCheckable(true);
    addHistoryList();

    SG_mod->setObjectName(QStringLiteral("SG_mod"));
    SG_mod->setColumnCount(1);
    SG_mod->setRowCount(ValueRows + 1);
    const QStringList& titles = ModuleRowTitles();
    for (int r = 0; r < titles.size(); ++r)
        SG_mod->setCell(0, r + 1, titles[r]);
    SG_mod->setColumnWidthPx(0, 250);
    SG_mod->setRowHeightPx(0, 40);
    SG_mod->horizontalHeader()->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SG_mod->cellBackground = &TFmoduly::SG_modGetCellColor;
    m_shape.keep();
    auto* layout = new QVBoxLayout(centralWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SG_mod);

    connect(TBXedit, &QAction::triggered, this, &TFmoduly::TBXeditClick);
    connect(SG_mod, &ui::TextGrid::buttonClicked, this, &TFmoduly::SG_modButtonClick);
    connect(&client.link(), &link::DeviceLink::connectionChanged, this, &TFmoduly::applyState);
    applyState(false);
}

void TFmoduly::applyState(bool connected) {
    TBXedit->setEnabled(connected);
}

void TFmoduly::readModuly() {
    ui::ShapeRestoringSink grid(*SG_mod, m_shape, false);
    ReadModules(m_client, grid);
}

void TFmoduly::showEvent(QShowEvent* event) {
    // The settings store has restored the row titles by now.
    m_shape.keep();
    ViewWindow::showEvent(event);
}

void TFmoduly::TBXeditClick() {
    const bool on = TBXedit->isChecked();
    const bool started = ui::RunCommand(this, [this] {
        if (TBXedit->isChecked()) {
            // Without a login no button appears; the item stays on.
            if (!m_client.ensureLogin())
                return;
            // Modules above 63 have no registers of their own to write: no button.
            const int last = std::min(SG_mod->columnCount() - 1, reg::MaxModuleRegisters);
            for (int column = 1; column <= last; ++column)
                SG_mod->setTitleButton(column, QStringLiteral("Edit"), EditButtonSize);
        } else {
            for (int column = 1; column < SG_mod->columnCount(); ++column)
                SG_mod->removeTitleButton(column);
        }
        SG_mod->repaintCells();
    });
    // Refused while another command runs: the check mark goes back to what
    // the buttons show.
    if (!started && ui::CommandRunning())
        TBXedit->setChecked(!on);
}

void TFmoduly::SG_modButtonClick(int column, int row) {
    // Buttons placed under an earlier login do nothing until the next one.
    if (!m_client.link().loginGranted())
        return;
    SelectedModule = column;
    if (row != 0)
        return;
    ui::RunCommand(this, [this, column] {
        if (!reg::ModuleWritable(column))
            throw std::runtime_error(ModuleNotWritableText(column).toStdString());
        m_dialog.setWindowTitle(QStringLiteral("Změna modulu %1").arg(column));
        m_dialog.Lprom1->setText(SG_mod->cell(0, AddressRow));
        m_dialog.Lprom2->setText(SG_mod->cell(0, PhaseRow));
        m_dialog.Lprom3->setText(SG_mod->cell(0, AcGroupRow));
        m_dialog.Lprom4->setText(SG_mod->cell(0, DcGroupRow));
        // A cell without a whole number ends the command with its message.
        const ModulePlacement placement = TFmodul_akce::placementInTable(*SG_mod, column);
        m_dialog.PBhod1->setValue(placement.address);
        m_dialog.PBhod2->setValue(placement.phase);
        m_dialog.PBhod3->setValue(placement.acGroup);
        m_dialog.PBhod4->setValue(placement.dcGroup);
        m_dialog.module = column;
        m_dialog.table = SG_mod;
        ui::Ui().execDialog(&m_dialog);
    });
}

void TFmoduly::snapshotLoaded() {
    for (int column = 2; column < SG_mod->columnCount(); ++column)
        SG_mod->setColumnWidthPx(column, SG_mod->columnWidthPx(1));
}

std::optional<QColor> TFmoduly::SG_modGetCellColor(int column, int row) {
    if (column == 0 || row <= 1)
        return std::nullopt;
    if (row == AddressRow || row == PhaseRow || row == AcGroupRow || row == DcGroupRow)
        return QColor(220, 238, 200);
    if (row % 2 == 0)
        return QColor(248, 248, 248);
    return std::nullopt;
}

} // namespace zra::views
