#include "main/TFmain.h"

#include "link/AlarmTexts.h"
#include "link/DeviceClient.h"
#include "link/DeviceLink.h"
#include "link/Ipv4Text.h"
#include "link/RegisterMap.h"
#include "main/SystemDecode.h"
#include "main/SystemReads.h"
#include "reads/ViewTable.h"
#include "store/TableSink.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimeEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zra::main {

namespace {
// The address field's first text, before any settings exist: the
// installation's usual local network.
const QString DefaultAddress = QStringLiteral("192.168.1.10");

// A status bar panel's holder, which the panel fills: the panel's new
// texts reach no layout.
class PanelHolder : public QWidget {
public:
    using QWidget::QWidget;
    QLabel* panel = nullptr;
    QSize sizeHint() const override { return {0, panel->sizeHint().height()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override { panel->setGeometry(rect()); }
};

QAction* item(QMenu* menu, const char* name, const QString& text) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

TFmain::TFmain(link::DeviceClient& client, link::AlarmDescriptions& descriptions)
    : ViewWindow(QStringLiteral("Fmain"), reads::FindView(store::ViewKind::Main)->windowCaption,
                 client.link()),
      client(client), link(client.link()), m_descriptions(descriptions) {
    resize(789, 545);

    buildToolbar();
    buildStatusBar();
    buildCentralArea();

    // The link is told the address and the unit id as they change.
    connect(TIP_adr, &QComboBox::currentTextChanged, &link, &link::DeviceLink::setAddress);
    connect(spid, &QSpinBox::valueChanged, &link, &link::DeviceLink::setUnitIdValue);
    link.setAddress(TIP_adr->currentText());
    link.setUnitIdValue(spid->value());
    connect(&link, &link::DeviceLink::connectionChanged, this, &TFmain::applyState);
    // Nothing may change the address or the unit id between the requests of a
    // running command: both fields are locked while one runs.
    connect(&ui::Commands(), &ui::CommandState::runningChanged, this, [this](bool running) {
        TIP_adr->setEnabled(!running);
        spid->setEnabled(!running);
    });
    applyState(false);
}

TFmain::~TFmain() = default;

void TFmain::buildToolbar() {
    auto* bar = addToolBar(QStringLiteral("Hlavní"));
    bar->setObjectName(QStringLiteral("TBToolbar1"));
    bar->setMovable(false);
    setToolBar(bar);

    auto* soubor = new QMenu(this);
    TBXotevri = item(soubor, "TBXotevri", QStringLiteral("Otevři"));
    TBXotevrivse = item(soubor, "TBXotevrivse", QStringLiteral("Otevři vše"));
    TBXuloz = item(soubor, "TBXuloz", QStringLiteral("Ulož"));
    TBXulozvse = item(soubor, "TBXulozvse", QStringLiteral("Ulož vše"));
    souborButton = ui::AddMenuButton(bar, "TBXSubmenuItem1", QStringLiteral("Soubor"), soubor);

    bar->addWidget(new QLabel(QStringLiteral("  Ip adr. "), bar));
    TIP_adr = new QComboBox(bar);
    TIP_adr->setObjectName(QStringLiteral("TIP_adr"));
    TIP_adr->setEditable(true);
    TIP_adr->setInsertPolicy(QComboBox::NoInsert);
    TIP_adr->setToolTip(QStringLiteral("IP adresa"));
    TIP_adr->setFixedWidth(110);
    TIP_adr->setEditText(DefaultAddress);
    m_acceptedAddress = DefaultAddress;
    bar->addWidget(TIP_adr);
    connect(TIP_adr->lineEdit(), &QLineEdit::editingFinished, this, &TFmain::TIP_adrAccept);
    connect(TIP_adr, &QComboBox::textActivated, this, &TFmain::TIP_adrAccept);
    // Another address means another installation: the link forgets its state.
    connect(TIP_adr, &QComboBox::editTextChanged, this, [this] { link.EnterDisconnectedState(); });

    bar->addWidget(new QLabel(QStringLiteral("  ID "), bar));
    spid = new QSpinBox(bar);
    spid->setObjectName(QStringLiteral("spid"));
    spid->setRange(1, 1000);
    spid->setValue(1);
    spid->setToolTip(QStringLiteral("ID číslo pro MODBUS"));
    bar->addWidget(spid);

    auto* akce = new QMenu(this);
    TBXItem2 = item(akce, "TBXItem2", QStringLiteral("Connect"));
    TBXnacti = item(akce, "TBXnacti", QStringLiteral("Načti"));
    TBXnactivse = item(akce, "TBXnactivse", QStringLiteral("Načti vše"));
    TBXnactivse->setToolTip(QStringLiteral("Kromě Logu"));
    akce->setToolTipsVisible(true);
    akce->addSeparator();
    TBXvymazlog = item(akce, "TBXvymazlog", QStringLiteral("Vymaž LOG"));
    TBXcisluj = item(akce, "TBXcisluj", QStringLiteral("Automaticky čísluj moduly"));
    TBXoff = item(akce, "TBXoff", QStringLiteral("ZRA OFF"));
    TBXon = item(akce, "TBXon", QStringLiteral("ZRA ON"));
    akceButton = ui::AddMenuButton(bar, "TBXSubmenuItem2", QStringLiteral("Akce"), akce);
    connect(TBXItem2, &QAction::triggered, this, &TFmain::TBXItem2Click);
    connect(TBXnacti, &QAction::triggered, this, &ViewWindow::TBXnactiClick);
    connect(TBXnactivse, &QAction::triggered, this, &TFmain::TBXnactivseClick);
    connect(TBXvymazlog, &QAction::triggered, this, &TFmain::TBXvymazlogClick);
    connect(TBXcisluj, &QAction::triggered, this, &TFmain::TBXcislujClick);
    connect(TBXoff, &QAction::triggered, this, &TFmain::TBXoffClick);
    connect(TBXon, &QAction::triggered, this, &TFmain::TBXonClick);

    auto* zobraz = new QMenu(this);
    TBXItem1 = item(zobraz, "TBXItem1", QStringLiteral("Moduly"));
    TBXItem6 = item(zobraz, "TBXItem6", QStringLiteral("Konfig"));
    TBXItem3 = item(zobraz, "TBXItem3", QStringLiteral("Fáze"));
    TBXItem4 = item(zobraz, "TBXItem4", QStringLiteral("AC group"));
    TBXItem5 = item(zobraz, "TBXItem5", QStringLiteral("DC group"));
    TBXItem7 = item(zobraz, "TBXItem7", QStringLiteral("Event LOG"));
    zobrazButton = ui::AddMenuButton(bar, "TBXSubmenuItem3", QStringLiteral("Zobraz"), zobraz);

    historie = ui::AddHistoryList(bar, "historie");

    nastrojeMenu = new QMenu(this);
    TBXzaznam = item(nastrojeMenu, "TBXzaznam", QStringLiteral("Záznam zápisů"));
    nastrojeButton =
        ui::AddMenuButton(bar, "TBXSubmenuNastroje", QStringLiteral("Nástroje"), nastrojeMenu);

    // The console's item is not in the toolbar; its shortcut reaches it.
    TBXItem13 = new QAction(QStringLiteral("Ext"), this);
    TBXItem13->setObjectName(QStringLiteral("TBXItem13"));
    TBXItem13->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+E")));
    TBXItem13->setShortcutContext(Qt::ApplicationShortcut);
    addAction(TBXItem13);
}

void TFmain::buildStatusBar() {
    statusPanel0 = new QLabel(this);
    statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    statusPanel0->setFixedWidth(80);
    statusPanel1 = new QLabel(this);
    statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    statusPanel1->setFixedWidth(80);
    // Read-all names each step in panel 2: it fills a holder outside the
    // bar's layout and paints its own background, so that a new text
    // repaints the panel alone, not the bar (which repaints whole at every
    // layout request) and the window under it.
    auto* holder = new PanelHolder(this);
    statusPanel2 = new QLabel(holder);
    statusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
    holder->panel = statusPanel2;
    for (QLabel* panel : {statusPanel0, statusPanel1, statusPanel2})
        panel->setAutoFillBackground(true);
    statusBar()->addWidget(statusPanel0);
    statusBar()->addWidget(statusPanel1);
    statusBar()->addWidget(holder, 1);
    statusPanel0->setText(QStringLiteral("Disconnected"));
}

QList<QAction*> TFmain::stateItems() const {
    return {TBXnacti, TBXnactivse, TBXvymazlog, TBXcisluj, TBXoff, TBXon};
}

void TFmain::applyState(bool connected) {
    TBXItem2->setText(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    statusPanel0->setText(connected ? QStringLiteral("Connected") : QStringLiteral("Disconnected"));
    // Panel 1 keeps its last text when the link goes down.
    if (connected)
        statusPanel1->setText(QStringLiteral("Port: %1").arg(link.modbusPort()));
    for (QAction* a : stateItems())
        a->setEnabled(connected);
    bdate->setEnabled(connected);
}

void TFmain::TBXItem2Click() {
    ui::RunCommand(this, [this] {
        // A typed but not yet accepted address is accepted (or refused) first.
        if (!link.connectedState() && TIP_adr->currentText() != m_acceptedAddress &&
            !TIP_adrAccept())
            return;
        ui::BusyCursor busy;
        link.ConnectCommand();
    });
}

void TFmain::closeEvent(QCloseEvent* event) {
    // An exchange waits in a nested event loop: ending the program under it
    // would break it off with a false error. The window closes once it ends.
    if (ui::CommandRunning()) {
        event->ignore();
        QTimer::singleShot(200, this, &QWidget::close);
        return;
    }
    ToolWindow::closeEvent(event);
    // Ending the loop closes every other window first.
    emit closeAccepted();
    QCoreApplication::quit();
}

bool TFmain::TIP_adrAccept() {
    const QString text = TIP_adr->currentText();
    if (text == m_acceptedAddress)
        return true;
    QStringList list;
    for (int i = 0; i < TIP_adr->count(); ++i)
        list << TIP_adr->itemText(i);
    const int selected = list.indexOf(m_acceptedAddress);
    const link::AddressDecision d =
        link::AcceptAddressText(list, selected, m_acceptedAddress, text);
    if (!d.accepted) {
        TIP_adr->setEditText(m_acceptedAddress);
        ui::ShowWarning(this, QStringLiteral("Špatná IP adresa"));
        return false;
    }
    const QSignalBlocker block(TIP_adr);
    TIP_adr->clear();
    TIP_adr->addItems(d.list);
    TIP_adr->setCurrentIndex(d.selected);
    TIP_adr->setEditText(text);
    m_acceptedAddress = text;
    return true;
}

void TFmain::buildCentralArea() {
    SG_main = new ui::TextGrid;
    SG_main->setObjectName(QStringLiteral("SG_main"));
    SG_main->setColumnCount(2);
    SG_main->setRowCount(21);
    SG_main->setCell(0, 0, SystemColumnTitles()[0]);
    SG_main->setCell(1, 0, SystemColumnTitles()[1]);
    const QStringList& titles = SystemRowTitles();
    for (int r = 0; r < titles.size(); ++r)
        SG_main->setCell(0, r + 1, titles[r]);
    // The row titles are never cut.
    SG_main->setColumnWidthPx(0, std::max(150, SG_main->fittingColumnWidth(0)));
    SG_main->setColumnWidthPx(1, 64);
    SG_main->horizontalHeader()->setStretchLastSection(true);

    Panel_main = new QWidget;
    Panel_main->setObjectName(QStringLiteral("Panel_main"));
    auto* left = new QVBoxLayout(Panel_main);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(SG_main);

    // Clock box.
    dtdate = new QDateEdit;
    dtdate->setObjectName(QStringLiteral("dtdate"));
    dtdate->setCalendarPopup(true);
    dtdate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    dttime = new QTimeEdit;
    dttime->setObjectName(QStringLiteral("dttime"));
    dttime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    llet = new QCheckBox(QStringLiteral("Letní čas"));
    llet->setObjectName(QStringLiteral("llet"));
    bdate = new QPushButton(QStringLiteral("Pošli"));
    bdate->setObjectName(QStringLiteral("bdate"));
    lsyn = new QCheckBox(QStringLiteral("Aktualizuj čas"));
    lsyn->setObjectName(QStringLiteral("lsyn"));
    const QDateTime now = QDateTime::currentDateTime();
    dtdate->setDate(now.date());
    dttime->setTime(now.time());

    auto* clock = new QWidget;
    clock->setObjectName(QStringLiteral("ClockBox"));
    auto* clockLayout = new QGridLayout(clock);
    clockLayout->setContentsMargins(6, 4, 6, 4);
    clockLayout->addWidget(new QLabel(QStringLiteral("Datum :")), 0, 0);
    clockLayout->addWidget(dtdate, 0, 1);
    clockLayout->addWidget(llet, 0, 2);
    clockLayout->addWidget(bdate, 0, 3);
    clockLayout->addWidget(new QLabel(QStringLiteral("Čas:")), 1, 0);
    clockLayout->addWidget(dttime, 1, 1);
    clockLayout->addWidget(lsyn, 1, 2, 1, 2);
    clockLayout->setColumnStretch(4, 1);

    SG_alarm = new ui::TextGrid;
    SG_alarm->setObjectName(QStringLiteral("SG_alarm"));
    SG_alarm->setColumnCount(4);
    SG_alarm->setRowCount(1);
    const int alarmWidths[] = {30, 68, 57, 240};
    for (int c = 0; c < 4; ++c) {
        SG_alarm->setCell(c, 0, AlarmColumnTitles()[c]);
        SG_alarm->setColumnWidthPx(c, alarmWidths[c]);
    }
    SG_alarm->horizontalHeader()->setStretchLastSection(true);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(2);
    rightLayout->addWidget(clock);
    auto* alarmLabel = new QLabel(QStringLiteral("Alarmy"));
    alarmLabel->setContentsMargins(4, 2, 0, 0);
    rightLayout->addWidget(alarmLabel);
    rightLayout->addWidget(SG_alarm, 1);

    RxSplitter1 = new QSplitter(Qt::Horizontal, this);
    RxSplitter1->setObjectName(QStringLiteral("RxSplitter1"));
    RxSplitter1->setHandleWidth(3);
    RxSplitter1->addWidget(Panel_main);
    RxSplitter1->addWidget(right);
    RxSplitter1->setStretchFactor(1, 1);
    RxSplitter1->setSizes({337, 789 - 337 - 3});
    setCentralWidget(RxSplitter1);

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TFmain::Timer1Timer);
    connect(lsyn, &QCheckBox::toggled, this, &TFmain::lsynClick);
    connect(bdate, &QPushButton::clicked, this, &TFmain::bdateClick);
}

void TFmain::attachWindow(QAction* item, ui::ToolWindow* window) {
    connect(item, &QAction::triggered, window, &ui::ToolWindow::showAndRaise);
}

QAction* TFmain::addViewItem(const QString& caption, ui::ToolWindow* window) {
    QAction* item = zobrazButton->menu()->addAction(caption);
    attachWindow(item, window);
    return item;
}

QStringList TFmain::addressEntries() const {
    QStringList entries;
    for (int n = 0; n < TIP_adr->count(); ++n)
        entries << TIP_adr->itemText(n);
    return entries;
}

int TFmain::addressIndex() const {
    return TIP_adr->currentIndex();
}

void TFmain::restoreAddressEntries(const QStringList& entries, int index) {
    const QString typed = TIP_adr->currentText();
    TIP_adr->addItems(entries);
    // Adding to an empty list selects its first entry: an index outside the
    // list (-1 among them) selects none.
    TIP_adr->setCurrentIndex(index >= 0 && index < TIP_adr->count() ? index : -1);
    if (TIP_adr->currentIndex() < 0)
        TIP_adr->setEditText(typed);
}

// ---- read: system values, active alarms with their descriptions, clock ----

void TFmain::readMain() {
    // The alarm table is drawn row by row.
    ui::GridSink system(*SG_main, false);
    ui::GridSink alarms(*SG_alarm, true);
    if (!ReadSystemAndAlarms(client, m_descriptions, system, alarms))
        return;

    const auto clockBytes = client.readInput(reg::ClockReadAddress, reg::ClockRegisters);
    if (!clockBytes)
        return;
    const InstallationClock clock = DecodeClock(*clockBytes);
    // The summer-time flag is taken before the date can fail.
    llet->setChecked(clock.summerTime);
    if (!clock.dateTime) {
        ui::ShowWarning(this, InvalidClockText(*clockBytes));
        return;
    }
    dtdate->setDate(clock.dateTime->date());
    dttime->setTime(clock.dateTime->time());
}

void TFmain::TBXnactivseClick() {
    ui::RunCommand(this, [this] {
        ui::BusyCursor busy;
        readAll();
    });
}

bool TFmain::readAll() {
    // Each read reports its own failure; read-all only stops, and panel 2
    // keeps the name of the read that failed. The last read is not tested:
    // the panel is cleared after it either way. The panel is painted ten
    // times a second, not for every step of a fast installation.
    const ui::PaintThrottle steps(statusPanel2, 100);
    for (int i = 0; i < readAllSteps.size(); ++i) {
        statusPanel2->setText(QStringLiteral("Načítám : ") + readAllSteps[i].name);
        readAllSteps[i].read();
        if (i + 1 < readAllSteps.size() && link.exchangeFailed())
            return false;
    }
    statusPanel2->setText(QString());
    return !link.exchangeFailed();
}

// ---- commands: the system command register and the clock ----

void TFmain::sendSystemCommand(std::uint16_t value) {
    ui::RunCommand(this, [this, value] {
        if (!client.ensureLogin())
            return;
        ui::BusyCursor busy;
        // A failure of the command itself is reported by the exchange alone.
        client.writeSingle(reg::SystemCommandRegister, value, link::DeviceClient::Password::First,
                           link::DeviceClient::Report::TransportOnly);
    });
}

void TFmain::TBXvymazlogClick() {
    sendSystemCommand(reg::ClearLogCommand);
}
void TFmain::TBXcislujClick() {
    sendSystemCommand(reg::NumberModulesCommand);
}
void TFmain::TBXoffClick() {
    sendSystemCommand(reg::OffCommand);
}
void TFmain::TBXonClick() {
    sendSystemCommand(reg::OnCommand);
}

void TFmain::bdateClick() {
    ui::RunCommand(this, [this] {
        if (!client.ensureLogin())
            return;
        ui::BusyCursor busy;
        // The pickers stand still at the time of the click, which is sent.
        if (lsyn->isChecked()) {
            Timer1.stop();
            lsyn->setChecked(false);
        }
        const auto bytes = EncodeClock(dtdate->date(), dttime->time(), llet->isChecked());
        client.writeMultiple(reg::ClockWriteAddress, bytes, link::DeviceClient::Password::First);
    });
}

void TFmain::lsynClick() {
    if (lsyn->isChecked())
        Timer1.start();
    else
        Timer1.stop();
}

void TFmain::Timer1Timer() {
    const QDateTime now = QDateTime::currentDateTime();
    dtdate->setDate(now.date());
    dttime->setTime(now.time());
}

} // namespace zra::main
