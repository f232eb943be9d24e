#include "views/TFmodul_akce.h"

#include "link/DeviceClient.h"
#include "link/RegisterMap.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"
#include "views/ModuleDecode.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <stdexcept>

namespace zra::views {

namespace {
QSpinBox* byteField(const char* name, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    // Each value is one byte of its register: bounded so none spills into the other.
    box->setRange(0, 255);
    box->setAlignment(Qt::AlignRight);
    return box;
}
QCheckBox* checkBox(const char* name, const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}
} // namespace

TFmodul_akce::TFmodul_akce(link::DeviceClient& client)
    : ToolDialog(QStringLiteral("Fmodul_akce"), QStringLiteral("Změna modulu")), m_client(client) {
    Lprom1 = new QLabel(this);
    Lprom2 = new QLabel(this);
    Lprom3 = new QLabel(this);
    Lprom4 = new QLabel(this);
    PBhod1 = byteField("PBhod1", this);
    PBhod2 = byteField("PBhod2", this);
    PBhod3 = byteField("PBhod3", this);
    PBhod4 = byteField("PBhod4", this);
    Lon = checkBox("Lon", QStringLiteral("ON"), this);
    Loff = checkBox("Loff", QStringLiteral("OFF"), this);
    Lident = checkBox("Lident", QStringLiteral("Identifikace"), this);
    Lfan = checkBox("Lfan", QStringLiteral("Replace FAN"), this);
    Lerr = checkBox("Lerr", QStringLiteral("BussError clear"), this);
    LMDButton1 = new QPushButton(QStringLiteral("OK"), this);
    LMDButton1->setObjectName(QStringLiteral("LMDButton1"));
    LMDButton2 = new QPushButton(QStringLiteral("Zruš"), this);
    LMDButton2->setObjectName(QStringLiteral("LMDButton2"));

    auto* fields = new QGridLayout;
    const std::pair<QLabel*, QSpinBox*> rows[] = {
        {Lprom1, PBhod1}, {Lprom2, PBhod2}, {Lprom3, PBhod3}, {Lprom4, PBhod4}};
    for (int r = 0; r < 4; ++r) {
        fields->addWidget(rows[r].first, r, 0);
        fields->addWidget(rows[r].second, r, 1);
    }
    auto* commands = new QVBoxLayout;
    for (QCheckBox* box : {Lon, Loff, Lident, Lfan, Lerr})
        commands->addWidget(box);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(LMDButton1);
    buttons->addWidget(LMDButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(commands);
    layout->addLayout(buttons);

    connect(LMDButton1, &QPushButton::clicked, this, &TFmodul_akce::LMDButton1Click);
    connect(LMDButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Lon, &QCheckBox::toggled, this, &TFmodul_akce::LonChange);
    connect(Loff, &QCheckBox::toggled, this, &TFmodul_akce::LoffChange);
}

void TFmodul_akce::LonChange(bool ticked) {
    if (ticked)
        Loff->setChecked(false);
}

void TFmodul_akce::LoffChange(bool ticked) {
    if (ticked)
        Lon->setChecked(false);
}

int TFmodul_akce::commandBits() const {
    return (Lon->isChecked() ? reg::ModuleCommandOn : 0) |
           (Loff->isChecked() ? reg::ModuleCommandOff : 0) |
           (Lident->isChecked() ? reg::ModuleCommandIdentify : 0) |
           (Lfan->isChecked() ? reg::ModuleCommandFanReplaced : 0) |
           (Lerr->isChecked() ? reg::ModuleCommandBusErrorClear : 0);
}

void TFmodul_akce::LMDButton1Click() {
    // The dialog is shown by the modules window's command: OK runs inside it.
    ui::ShowErrors(this, [this] { sendChanges(); });
}

ModulePlacement TFmodul_akce::placementInTable(const ui::TextGrid& table, int module) {
    const auto cell = [&](int row) {
        const auto value = table.integerAt(module, row);
        if (!value)
            throw std::runtime_error(QStringLiteral("Buňka „%1“ modulu %2 neobsahuje celé číslo.")
                                         .arg(table.cell(0, row))
                                         .arg(module)
                                         .toStdString());
        return int(*value);
    };
    return {cell(AddressRow), cell(PhaseRow), cell(AcGroupRow), cell(DcGroupRow)};
}

void TFmodul_akce::sendChanges() {
    if (!reg::ModuleWritable(module))
        throw std::runtime_error(ModuleNotWritableText(module).toStdString());
    const ModulePlacement inTable = placementInTable(*table, module);
    const ModulePlacement entered{PBhod1->value(), PBhod2->value(), PBhod3->value(),
                                  PBhod4->value()};
    ui::BusyCursor busy;
    for (const ModuleWrite& write : ModuleActionWrites(module, inTable, entered, commandBits()))
        // A failure stops here and leaves the dialog open; earlier writes stay.
        if (!m_client.writeSingle(write.address, write.value, link::DeviceClient::Password::First))
            return;
    accept();
}

} // namespace zra::views
