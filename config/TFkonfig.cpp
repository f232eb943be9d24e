#include "config/TFkonfig.h"

#include "config/ChangeSet.h"
#include "config/ConfigDecode.h"
#include "config/ConfigReads.h"
#include "config/TFnastaveni.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/RegisterMap.h"
#include "reads/ViewTable.h"
#include "store/ToolFiles.h"
#include "text/CellText.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

namespace zra::config {

namespace {
constexpr int RowHeight = 21;
constexpr int CommitPolls = 21;
constexpr int GrowthRows = 64;
const QColor BandColor(248, 248, 248);
const QColor OutsideFilterText(212, 212, 212);

std::optional<QColor> StateColor(int state) {
    switch (state) {
    case Differs:
        return QColor(255, 128, 255);
    case Accepted:
        return QColor(0, 255, 0);
    case Rejected:
        return QColor(255, 0, 0);
    case Pending:
        return QColor(177, 192, 241);
    case IdMismatch:
        return QColor(255, 62, 158);
    default:
        return std::nullopt;
    }
}

QAction* Item(QMenu* menu, const char* name, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

// Lines for a message, at most 20 of them and then how many more there are.
QString LinesText(const QStringList& lines) {
    constexpr int Shown = 20;
    QString text = lines.mid(0, Shown).join(QLatin1Char('\n'));
    if (lines.size() > Shown)
        text += QStringLiteral("\n… a dalších %1").arg(lines.size() - Shown);
    return text;
}

[[noreturn]] void NotANumber(const ui::TextGrid& g, int column, int row) {
    throw std::runtime_error(QStringLiteral("Buňka „%1“ řádku %2 neobsahuje číslo: „%3“.")
                                 .arg(g.cell(column, 0))
                                 .arg(row)
                                 .arg(g.cell(column, row))
                                 .toStdString());
}
} // namespace

TFkonfig::TFkonfig(link::DeviceClient& client, TFnastaveni& dialog)
    : ViewWindow(QStringLiteral("Fkonfig"), reads::FindView(store::ViewKind::Konfig)->windowCaption,
                 client.link()),
      SG_konfig(new ui::TextGrid), m_client(client), m_dialog(dialog),
      m_shape(*SG_konfig, ui::TableShape::Columns) {
    resize(760, 600);
    QToolBar* bar = addViewToolBar();
    addSouborMenu();
    addHistoryList();
    historie->setToolTip(QStringLiteral("Historie"));
    addReadItem(QStringLiteral("Načti konfiguraci z ZRA"));

    auto* filtr = new QMenu(this);
    TBXfiltr = Item(filtr, "TBXfiltr", QStringLiteral("Použij filtr"));
    TBXfiltr->setCheckable(true);
    TBXulozfiltr = Item(filtr, "TBXulozfiltr", QStringLiteral("Ulož filtr"));
    TBXoznacvse = Item(filtr, "TBXoznacvse", QStringLiteral("Označ vše"));
    TBXdofiltru = Item(filtr, "TBXdofiltru", QStringLiteral("Označené -> filtr"));
    TBXzfiltru = Item(filtr, "TBXzfiltru", QStringLiteral("Označené -> zruš filtr"));
    TBXzobrazvse = Item(filtr, "TBXzobrazvse", QStringLiteral("Zobraz vše"));
    TBXzobrazvse->setCheckable(true);
    TBXzobrazvse->setChecked(true);
    // The keys are shown in the menu; the table's key handler runs them, and
    // only while the filter is in use.
    TBXdofiltru->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    TBXzfiltru->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    TBXdofiltru->setShortcutContext(Qt::WidgetShortcut);
    TBXzfiltru->setShortcutContext(Qt::WidgetShortcut);
    for (QAction* a : {TBXdofiltru, TBXzfiltru, TBXzobrazvse})
        a->setEnabled(false);
    filtrButton = ui::AddMenuButton(bar, "TBXSubmenuItem2", QStringLiteral("Filtr"), filtr);

    auto* akce = new QMenu(this);
    TBXedit = Item(akce, "TBXedit", QStringLiteral("Změnit proměnnou [DblClick]"));
    TBXzmenvse = Item(akce, "TBXzmenvse", QStringLiteral("Změň vše (filtr)"));
    TBXzrus = Item(akce, "TBXzrus", QStringLiteral("Zruš změny"));
    TBXproved = Item(akce, "TBXproved", QStringLiteral("Proveď zmeny"));
    akceButton = ui::AddMenuButton(bar, "TBXSubmenuItem3", QStringLiteral("Akce"), akce);
    TBXLabelItem1 = new QLabel(bar);
    TBXLabelItem1->setObjectName(QStringLiteral("TBXLabelItem1"));
    TBXLabelItem1->setTextFormat(Qt::PlainText); // set again and again during a read
    // A fixed size: a new number then repaints the label without laying out
    // the toolbar again, which would cost more than the exchange itself.
    TBXLabelItem1->setText(QStringLiteral("0000s"));
    TBXLabelItem1->setFixedSize(TBXLabelItem1->sizeHint() + QSize(8, 0));
    TBXLabelItem1->setText(QString());
    bar->addWidget(TBXLabelItem1);

    SG_konfig->setObjectName(QStringLiteral("SG_konfig"));
    followTable();
    // Row 0 holds the titles; column 0 (the number) is an ordinary column.
    SG_konfig->setFixed(1, 0);
    SG_konfig->setColumnCount(ConfigColumns);
    SG_konfig->setRowCount(2);
    const int widths[ConfigColumns] = {43, 231, 64, 64, 64, 64, 64, 0, 0, 0};
    for (int c = 0; c < ConfigColumns; ++c) {
        SG_konfig->setCell(c, 0, ConfigColumnTitles()[c]);
        SG_konfig->setColumnWidthPx(c, widths[c]);
    }
    SG_konfig->setDefaultRowHeight(RowHeight);
    SG_konfig->setTitleColor(QColor(223, 234, 230));
    SG_konfig->setMultiRowSelection(true);
    SG_konfig->cellBackground = [this](int c, int r) { return SG_konfigGetCellColor(c, r); };
    SG_konfig->cellTextColor = [this](int c, int r) { return SG_konfigGetTextColor(c, r); };
    SG_konfig->installEventFilter(this);
    m_shape.keep();
    auto* layout = new QVBoxLayout(centralWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SG_konfig);

    statusPanel0 = new QLabel(this);
    statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    statusPanel0->setFixedWidth(100);
    statusPanel1 = new QLabel(this);
    statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    statusPanel2 = new QLabel(this);
    statusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
    statusPanel2->setFixedWidth(150);
    statusPanel3 = new QLabel(this);
    statusPanel3->setObjectName(QStringLiteral("StatusPanel3"));
    statusBar()->setObjectName(QStringLiteral("LMDStatusBar1"));
    statusBar()->addWidget(statusPanel0);
    statusBar()->addWidget(statusPanel1, 1);
    statusBar()->addWidget(statusPanel2);
    statusBar()->addWidget(statusPanel3);

    // The toggles are refused while a command runs (the settings' restore
    // calls the handler itself).
    connect(TBXfiltr, &QAction::triggered, this, [this] {
        if (!refusedWhileCommandRuns(TBXfiltr))
            TBXfiltrClick();
    });
    connect(TBXulozfiltr, &QAction::triggered, this, &TFkonfig::TBXulozfiltrClick);
    connect(TBXoznacvse, &QAction::triggered, this, &TFkonfig::TBXoznacvseClick);
    connect(TBXdofiltru, &QAction::triggered, this, &TFkonfig::TBXdofiltruClick);
    connect(TBXzfiltru, &QAction::triggered, this, &TFkonfig::TBXzfiltruClick);
    connect(TBXzobrazvse, &QAction::triggered, this, [this] {
        if (!refusedWhileCommandRuns(TBXzobrazvse))
            TBXzobrazvseClick();
    });
    connect(TBXedit, &QAction::triggered, this, &TFkonfig::TBXeditClick);
    connect(TBXzmenvse, &QAction::triggered, this, &TFkonfig::ApplyLoadedValues);
    connect(TBXzrus, &QAction::triggered, this, &TFkonfig::CancelChanges);
    connect(TBXproved, &QAction::triggered, this, &TFkonfig::CommitChanges);
    connect(SG_konfig, &ui::TextGrid::cellDoubleClicked, this, &TFkonfig::SG_konfigDblClickCell);
    connect(&client.link(), &link::DeviceLink::connectionChanged, this, &TFkonfig::applyState);
    applyState(false);

    // The filter file is read once, when the window is created.
    filterFile = store::ToolFilePath(store::FilterFileName);
    QString error;
    filter = LoadFilterFile(filterFile, &error);
    if (!error.isEmpty())
        ui::ShowWarning(this, error);
}

void TFkonfig::applyState(bool connected) {
    TBXedit->setEnabled(connected);
    applyLogin(connected && m_client.link().loginGranted());
}

void TFkonfig::applyLogin(bool granted) {
    const bool on = granted && m_client.link().connectedState();
    TBXzrus->setEnabled(on);
    TBXproved->setEnabled(on);
}

// ---- rows -------------------------------------------------------------------

void TFkonfig::setState(int row, int state) {
    m_changes.setState(row, state);
    // Snapshots hold the state as this text.
    SG_konfig->setCell(StateColumn, row, StateText(state));
}

void TFkonfig::takeStates(int first, int last) {
    const ui::TextGrid& g = *SG_konfig;
    if (m_changes.rowCount() != g.rowCount())
        m_changes.resize(g.rowCount());
    if (last < 0)
        last = g.rowCount() - 1;
    for (int row = std::max(first, g.titleRows()); row <= last && row < g.rowCount(); ++row)
        m_changes.setState(row, StateFromText(g.cell(StateColumn, row)));
}

void TFkonfig::followTable() {
    // The change set has a row for every row of the table, and takes what
    // others write into column 7.
    const QAbstractItemModel* model = SG_konfig->model();
    const auto gridRow = [this](int modelRow) { return modelRow + SG_konfig->titleRows(); };
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this, gridRow](const QModelIndex&, int first, int last) {
                m_changes.insertRows(gridRow(first), last - first + 1);
                takeStates(gridRow(first), gridRow(last));
            });
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this, gridRow](const QModelIndex&, int first, int last) {
                m_changes.removeRows(gridRow(first), last - first + 1);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, gridRow](const QModelIndex& from, const QModelIndex& to) {
                const int titles = SG_konfig->titleColumns();
                if (from.column() + titles <= StateColumn && StateColumn <= to.column() + titles)
                    takeStates(gridRow(from.row()), gridRow(to.row()));
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { takeStates(); });
    connect(model, &QAbstractItemModel::columnsInserted, this, [this] { takeStates(); });
    connect(model, &QAbstractItemModel::columnsRemoved, this, [this] { takeStates(); });
    takeStates();
}

std::optional<int> TFkonfig::variableOf(int row) const {
    const auto n = SG_konfig->integerAt(NumberColumn, row);
    if (SG_konfig->cell(NumberColumn, row).trimmed().isEmpty() || !n || *n < 1 ||
        *n > reg::ConfigVariables)
        return std::nullopt;
    return int(*n);
}

std::optional<int> TFkonfig::decimalsOf(int row) const {
    return DecimalsOfMultiplier(SG_konfig->cell(MultiplierColumn, row));
}

// The table's value of a row as a raw value, exact on its digits.
qint64 TFkonfig::tableRaw(int row) const {
    const auto decimals = decimalsOf(row);
    if (!decimals)
        NotANumber(*SG_konfig, MultiplierColumn, row);
    const auto raw = RawValue(SG_konfig->cell(ValueColumn, row), *decimals);
    if (!raw)
        NotANumber(*SG_konfig, ValueColumn, row);
    return *raw;
}

void TFkonfig::showRowCount() {
    statusPanel0->setText(QStringLiteral("Řádků: %1").arg(SG_konfig->rowCount() - 1));
}

void TFkonfig::snapshotLoaded() {
    tableReplaced();
    showRowCount();
    UpdateFilterStatus();
}

void TFkonfig::tableReplaced() {
    m_changes.forgetReadAndChangeAll();
    takeStates();
    m_shaded.clear();
}

void TFkonfig::showEvent(QShowEvent* event) {
    // The settings store has restored the titles and widths by now.
    m_shape.keep();
    ViewWindow::showEvent(event);
}

QString TFkonfig::watchPause() const {
    if (HoldsOpenChanges(m_changes))
        return QStringLiteral("Sledování pozastaveno: neuložené změny");
    return {};
}

// ---- the read ---------------------------------------------------------------

bool TFkonfig::CheckConfigSaved() {
    return ConfigSaved(m_client, [this](const QString& text) { ui::ShowWarning(this, text); });
}

void TFkonfig::readKonfig() {
    ui::TextGrid& g = *SG_konfig;
    g.setRowCount(2);
    // A snapshot of another column count would cut off the columns the read
    // and the change set need ("stav", "desm").
    m_shape.restore();
    for (int c = 0; c < ConfigColumns; ++c)
        g.setCell(c, 1, QString());
    g.setRowHeightPx(1, RowHeight);
    tableReplaced();
    ui::BusyCursor busy;
    // The table and the progress label are painted 10 times a second, not
    // after each of up to 500 replies.
    const ui::PaintThrottle throttle(this, 100);
    QElapsedTimer elapsed;
    elapsed.start();
    // Unsaved changes only warn: the read goes on. A failed exchange ends it
    // here, where every further request could only fail again.
    if (!CheckConfigSaved() && m_client.link().exchangeFailed()) {
        ui::Ui().resetCursor();
        TBXLabelItem1->setText(QStringLiteral("%1s").arg(elapsed.elapsed() / 1000));
        showRowCount();
        return;
    }
    bool first = true;
    int used = 2; // rows in use, the title row included
    const bool read = ReadVariables(
        m_client, [this](int n) { return !TBXfiltr->isChecked() || filter.contains(n); },
        [this](int n) {
            if (ui::EventPassDue()) {
                TBXLabelItem1->setText(QString::number(n));
                ui::LetPendingEventsRun();
            }
        },
        [&](const ConfigVariable& variable) {
            const int row = first ? 1 : used;
            if (row >= g.rowCount())
                // Rows come in blocks: the table lays itself out once per block,
                // not once per variable, which would cost more than the
                // exchanges. The rows not used are cut off after the read.
                g.setRowCount(row + GrowthRows);
            used = row + 1;
            first = false;
            g.setRowCells(row, VariableRow(variable));
            m_changes.setReadRaw(row, variable.raw);
            m_shaded.clear();
        });
    if (!read)
        ui::Ui().resetCursor();
    g.setRowCount(used);
    fitColumns();
    TBXLabelItem1->setText(QStringLiteral("%1s").arg(elapsed.elapsed() / 1000));
    showRowCount();
    UpdateFilterStatus();
}

// ---- colours ----------------------------------------------------------------

void TFkonfig::updateBanding() {
    const int rows = SG_konfig->rowCount();
    m_shaded.assign(std::size_t(rows), false);
    bool band = true;
    for (int r = 1; r < rows; ++r) {
        if (SG_konfig->rowHeightPx(r) <= 0)
            continue;
        band = !band;
        m_shaded[std::size_t(r)] = band;
    }
}

std::optional<QColor> TFkonfig::SG_konfigGetCellColor(int column, int row) {
    if (row < 1)
        return std::nullopt;
    if (column == ValueColumn)
        if (auto c = StateColor(m_changes.state(row)))
            return c;
    if (column == NumberColumn)
        return std::nullopt;
    if (m_shaded.size() != std::size_t(SG_konfig->rowCount()))
        updateBanding();
    return m_shaded[std::size_t(row)] ? std::optional<QColor>(BandColor) : std::nullopt;
}

std::optional<QColor> TFkonfig::SG_konfigGetTextColor(int, int row) const {
    if (row < 1 || !TBXfiltr->isChecked())
        return std::nullopt;
    const auto n = variableOf(row);
    if (n && !filter.contains(*n))
        return OutsideFilterText;
    return std::nullopt;
}

// ---- the filter ---------------------------------------------------------------

bool TFkonfig::refusedWhileCommandRuns(QAction* item) {
    // A read or a change-all looks at the filter row by row: changing it
    // half-way through would leave a half-filtered table. The item's check
    // mark goes back to what the table shows.
    if (!ui::CommandRunning())
        return false;
    if (item && item->isCheckable())
        item->setChecked(!item->isChecked());
    return true;
}

void TFkonfig::TBXfiltrClick() {
    if (TBXfiltr->isChecked() && filter.empty()) {
        // Unchecked before the message, which lets the table repaint.
        TBXfiltr->setChecked(false);
        ui::ShowWarning(this, QStringLiteral("Filtr je prázdný"));
        // The items stay usable, so that an empty filter can be filled.
        for (QAction* a : {TBXdofiltru, TBXzfiltru, TBXzobrazvse})
            a->setEnabled(true);
    } else {
        for (QAction* a : {TBXdofiltru, TBXzfiltru, TBXzobrazvse})
            a->setEnabled(TBXfiltr->isChecked());
    }
    if (!TBXfiltr->isChecked()) {
        // Without the filter every row is shown again.
        for (int r = 1; r < SG_konfig->rowCount(); ++r)
            SG_konfig->setRowHeightPx(r, RowHeight);
        m_shaded.clear();
    }
    SG_konfig->repaintCells();
    UpdateFilterStatus();
}

void TFkonfig::TBXulozfiltrClick() {
    ui::RunCommand(this, [this] {
        if (SG_konfig->rowCount() == 2 && SG_konfig->cell(NumberColumn, 1).isEmpty()) {
            ui::ShowWarning(this, QStringLiteral("Nelze"));
            return;
        }
        QString error;
        if (!SaveFilterFile(filterFile, filter, &error))
            throw std::runtime_error(error.toStdString());
    });
}

void TFkonfig::TBXoznacvseClick() {
    SG_konfig->clearSelection();
    for (int r = 1; r < SG_konfig->rowCount(); ++r)
        SG_konfig->selectRowNumber(r);
}

void TFkonfig::markSelected(bool in) {
    if (refusedWhileCommandRuns(nullptr))
        return;
    for (int row : SG_konfig->selectedRowNumbers())
        if (const auto n = variableOf(row))
            filter.set(*n, in);
    SG_konfig->repaintCells();
    SG_konfig->clearSelection();
    UpdateFilterStatus();
}

void TFkonfig::TBXdofiltruClick() {
    markSelected(true);
}

void TFkonfig::TBXzfiltruClick() {
    markSelected(false);
}

void TFkonfig::TBXzobrazvseClick() {
    ApplyRowVisibility();
}

bool TFkonfig::eventFilter(QObject* watched, QEvent* event) {
    // SG_konfigKeyUp: Ctrl+F and Ctrl+Z while the filter is in use.
    if (watched == SG_konfig && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (TBXfiltr->isChecked() && (key->modifiers() & Qt::ControlModifier)) {
            if (key->key() == Qt::Key_F)
                TBXdofiltruClick();
            else if (key->key() == Qt::Key_Z)
                TBXzfiltruClick();
        }
    }
    return ViewWindow::eventFilter(watched, event);
}

void TFkonfig::UpdateFilterStatus() {
    if (TBXfiltr->isChecked()) {
        int count = 0;
        for (int r = 1; r < SG_konfig->rowCount(); ++r)
            if (const auto n = variableOf(r); n && filter.countedIn(*n))
                ++count;
        statusPanel1->setText(count == 0 ? QStringLiteral("Filtr")
                                         : QStringLiteral("Filtr: %1").arg(count));
    } else {
        statusPanel1->setText(QString());
    }
    ApplyRowVisibility();
}

void TFkonfig::ApplyRowVisibility() {
    if (!TBXfiltr->isChecked())
        return;
    for (int r = 1; r < SG_konfig->rowCount(); ++r) {
        if (TBXzobrazvse->isChecked())
            SG_konfig->setRowHeightPx(r, RowHeight);
        else if (const auto n = variableOf(r); n && !filter.contains(*n))
            SG_konfig->setRowHeightPx(r, 0);
    }
    m_shaded.clear();
    SG_konfig->repaintCells();
}

// ---- editing ------------------------------------------------------------------

void TFkonfig::SG_konfigDblClickCell(int, int row) {
    if (!m_client.link().modbusOpen())
        return;
    OpenVariableEditor(row);
}

void TFkonfig::TBXeditClick() {
    const QModelIndex current = SG_konfig->currentIndex();
    if (current.isValid())
        OpenVariableEditor(current.row() + 1);
}

void TFkonfig::OpenVariableEditor(int row) {
    if (!variableOf(row))
        return;
    ui::RunCommand(this, [this, row] {
        if (!m_client.ensureLogin())
            return;
        ui::TextGrid& g = *SG_konfig;
        const auto decimals = decimalsOf(row);
        if (!decimals || *decimals > 3)
            throw std::runtime_error(
                QStringLiteral("Proměnnou %1 nelze změnit: násobitel %2 "
                               "(nejvýš 3 desetinná místa) není podporován.")
                    .arg(g.cell(NumberColumn, row), g.cell(MultiplierColumn, row))
                    .toStdString());
        m_dialog.Lprom->setText(text::DisplayText(g.cell(NameColumn, row)));
        m_dialog.EditDecimals = *decimals;
        m_dialog.PBval->setDecimals(*decimals);
        if (*decimals > 0) {
            const auto v = g.decimalAt(ValueColumn, row);
            if (!v)
                NotANumber(g, ValueColumn, row);
            m_dialog.PBval->setValue(*v);
        } else {
            const auto v = g.integerAt(ValueColumn, row);
            if (!v)
                NotANumber(g, ValueColumn, row);
            m_dialog.PBval->setValue(double(*v));
        }
        m_dialog.Label2->setText(g.cell(UnitColumn, row));
        m_dialog.EditedVariable = *variableOf(row);
        m_dialog.EditedRow = row;
        m_dialog.table = SG_konfig;
        m_dialog.readRaw = RawForUnchangedOk(m_changes, row);
        m_dialog.PBval->selectAll();
        m_dialog.PBval->setFocus();
        ui::Ui().execDialog(&m_dialog);
    });
}

void TFkonfig::ApplyLoadedValues() {
    ui::RunCommand(this, [this] {
        if (!m_client.ensureLogin() || !CheckConfigSaved())
            return;
        ui::BusyCursor busy;
        ui::TextGrid& g = *SG_konfig;
        m_changes.forgetChangeAll();
        // Rows whose multiplier, value or ID is not a number (a snapshot's)
        // cannot be compared: they are passed over and named.
        QStringList unusable;
        for (int row = 1; row < g.rowCount(); ++row) {
            const auto n = variableOf(row);
            const auto decimals = decimalsOf(row);
            const auto tableValue =
                decimals ? RawValue(g.cell(ValueColumn, row), *decimals) : std::nullopt;
            const auto id = g.integerAt(IdColumn, row);
            const ChangeAllStep step = ChangeAllStepFor(
                n.has_value(), n && (!TBXfiltr->isChecked() || filter.contains(*n)),
                tableValue && id);
            if (step == ChangeAllStep::Skip)
                continue;
            setState(row, Unchanged);
            if (step == ChangeAllStep::Reset)
                continue;
            if (step == ChangeAllStep::Name) {
                unusable << QStringLiteral("%1 %2").arg(
                    g.cell(NumberColumn, row),
                    text::DisplayText(g.cell(NameColumn, row)).trimmed());
                continue;
            }
            const auto data = m_client.readInput(reg::ConfigVariableRecord.address(*n), 3);
            if (!data) {
                ui::Ui().resetCursor();
                return;
            }
            const int installed = data->u16(0);
            const int state = ComparedState(*tableValue, *decimals, *id, installed, data->u16(4));
            setState(row, state);
            if (state == Differs)
                m_changes.setInstalledBeforeChangeAll(row, ValueText(qint16(installed), *decimals));
            ui::LetPendingEventsRun();
        }
        g.repaintCells();
        if (!unusable.isEmpty())
            ui::ShowWarning(this, QStringLiteral("Tyto řádky nelze porovnat (násobitel, hodnota "
                                                 "nebo ID není číslo) a nebudou zapsány:\n") +
                                      LinesText(unusable));
        // Only the rows found to differ are written (a row without a variable
        // number keeps whatever its state cell says).
        std::vector<std::pair<int, qint64>> differing;
        for (const int row : m_changes.changedByChangeAll())
            differing.emplace_back(row, tableRaw(row));
        if (differing.empty()) {
            ui::Ui().resetCursor();
            ui::ShowInformation(this, QStringLiteral("Není co měnit"));
            return;
        }
        const ChangeAllWrites plan = PlanChangeAllWrites(differing);
        QStringList refused;
        for (const int row : plan.refused)
            refused << QStringLiteral("%1 %2: %3 (rozsah %4)")
                           .arg(g.cell(NumberColumn, row),
                                text::DisplayText(g.cell(NameColumn, row)).trimmed(),
                                g.cell(ValueColumn, row), AllowedRangeText(*decimalsOf(row)));
        if (!refused.isEmpty())
            ui::ShowWarning(this, QStringLiteral("Tyto hodnoty jsou mimo rozsah proměnné a "
                                                 "nebudou zapsány:\n") +
                                      refused.join(QLatin1Char('\n')));
        for (const auto& [row, raw] : plan.written) {
            if (!m_client.writeSingle(reg::ConfigValueRegister(*variableOf(row)),
                                      std::uint16_t(raw & 0xFFFF),
                                      link::DeviceClient::Password::None)) {
                ui::Ui().resetCursor();
                return;
            }
            setState(row, Pending);
            ui::LetPendingEventsRun();
        }
        g.repaintCells();
    });
}

void TFkonfig::endWithVerdict(bool commit, const std::function<QString()>& run) {
    QString verdict;
    try {
        verdict = run();
    } catch (const std::exception& e) {
        // The command's error handler shows this text.
        emit changesEnded(commit, QString::fromUtf8(e.what()));
        throw;
    }
    emit changesEnded(commit, verdict);
}

void TFkonfig::CancelChanges() {
    ui::RunCommand(this, [this] {
        if (!m_client.ensureLogin())
            return;
        endWithVerdict(false, [this] { return cancelSent(); });
    });
}

QString TFkonfig::cancelSent() {
    if (!m_client.writeSingle(reg::ConfigControlRegister, reg::ConfigCancel,
                              link::DeviceClient::Password::First))
        return link::DeviceClient::CommunicationErrorText;
    ui::TextGrid& g = *SG_konfig;
    QStringList previous;
    for (int row = 0; row < g.rowCount(); ++row)
        previous << g.cell(PreviousColumn, row);
    for (const CancelStep& step : PlanCancel(m_changes, previous)) {
        setState(step.row, Unchanged);
        if (step.value)
            g.setCell(ValueColumn, step.row, *step.value);
    }
    m_changes.forgetChangeAll();
    g.repaintCells();
    return QStringLiteral("Změny zrušeny");
}

void TFkonfig::waitBetweenPolls() {
    // The windows repaint and take input meanwhile; the command guard keeps
    // every other command from starting.
    QEventLoop loop;
    QTimer::singleShot(commitPollWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

void TFkonfig::CommitChanges() {
    ui::RunCommand(this, [this] {
        if (!m_client.ensureLogin())
            return;
        endWithVerdict(true, [this] { return commitSent(); });
    });
}

QString TFkonfig::commitSent() {
    const QString failed = link::DeviceClient::CommunicationErrorText;
    ui::BusyCursor busy;
    if (!m_client.writeSingle(reg::ConfigControlRegister, reg::ConfigCommit,
                              link::DeviceClient::Password::First)) {
        ui::Ui().resetCursor();
        return failed;
    }
    std::optional<std::uint8_t> outcome;
    for (int poll = 0; poll < CommitPolls && !outcome; ++poll) {
        const auto data = m_client.readHolding(reg::ConfigControlRegister, 1);
        if (!data) {
            ui::Ui().resetCursor();
            return failed;
        }
        const std::uint8_t state = data->byte(0);
        if (state == reg::ConfigSaved || state == reg::ConfigRefused) {
            outcome = state;
        } else {
            emit m_client.link().trace(
                QStringLiteral("Stav : 0x") +
                QStringLiteral("%1").arg(state, 2, 16, QLatin1Char('0')).toUpper());
            waitBetweenPolls();
        }
    }
    ui::TextGrid& g = *SG_konfig;
    if (!outcome) {
        const QString timedOut = QStringLiteral("Něco je špatně");
        ui::Ui().resetCursor();
        ui::ShowWarning(this, timedOut);
        return timedOut;
    }
    QStringList rejected;
    for (const int row : RowsCommitSettles(m_changes)) {
        const auto n = variableOf(row);
        if (!n)
            continue;
        if (*outcome == reg::ConfigSaved) {
            setState(row, StateAfterCommit(0));
            g.setCell(ValidityColumn, row, ValidityText(0));
            continue;
        }
        const auto data = m_client.readInput(reg::ConfigValidityAddress(*n), 1);
        if (!data) {
            ui::Ui().resetCursor();
            return failed;
        }
        const int code = data->u16(0);
        g.setCell(ValidityColumn, row, ValidityText(code));
        setState(row, StateAfterCommit(code));
        if (code != 0)
            rejected << QStringLiteral("%1 (%2)").arg(*n).arg(ValidityText(code));
        ui::LetPendingEventsRun();
    }
    fitColumns();
    g.repaintCells();
    if (*outcome == reg::ConfigSaved)
        return QStringLiteral("Změny přijaty");
    // The refused variables as the table marks them.
    if (rejected.isEmpty())
        return QStringLiteral("Změny odmítnuty");
    return QStringLiteral("Změny odmítnuty: ") + rejected.join(QStringLiteral(", "));
}

void TFkonfig::fitColumns() {
    // A name or a verdict ("ZRA_MUST_BE_OFF") is never cut off: the column
    // grows to its text, and never shrinks below the width it has.
    for (int c : {NameColumn, ValidityColumn})
        SG_konfig->setColumnWidthPx(
            c, std::max(SG_konfig->columnWidthPx(c), SG_konfig->fittingColumnWidth(c)));
}

} // namespace zra::config
