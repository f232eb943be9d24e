#include "config/TFnastaveni.h"

#include "config/ConfigDecode.h"
#include "link/DeviceClient.h"
#include "ui/TextGrid.h"
#include "ui/UiServices.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <stdexcept>

namespace zra::config {

TFnastaveni::TFnastaveni(link::DeviceClient& client)
    : ToolDialog(QStringLiteral("Fnastaveni"), QStringLiteral("Změna proměnné")), m_client(client) {
    ui::SetBackground(this, QColor(217, 240, 237));

    Lprom = new QLabel(this);
    Lprom->setObjectName(QStringLiteral("Lprom"));
    Lprom->setAlignment(Qt::AlignCenter);
    Lprom->setFrameShape(QFrame::Box);
    Lprom->setMinimumSize(300, 32);
    ui::SetBackground(Lprom, QColor(226, 243, 241));

    PBval = new QDoubleSpinBox(this);
    PBval->setObjectName(QStringLiteral("PBval"));
    PBval->setAlignment(Qt::AlignRight);
    // No bounds of its own: the register's range is checked at OK.
    PBval->setRange(-1e9, 1e9);
    PBval->setSingleStep(1.0);
    PBval->setMinimumWidth(120);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setMinimumWidth(40);
    LMDButton1 = new QPushButton(QStringLiteral("OK"), this);
    LMDButton1->setObjectName(QStringLiteral("LMDButton1"));
    LMDButton1->setDefault(true);
    LMDButton2 = new QPushButton(QStringLiteral("Zruš"), this);
    LMDButton2->setObjectName(QStringLiteral("LMDButton2"));

    auto* value = new QHBoxLayout;
    value->addWidget(new QLabel(QStringLiteral("Nová hodnota"), this));
    value->addWidget(PBval, 1);
    value->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(LMDButton1);
    buttons->addWidget(LMDButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lprom);
    layout->addLayout(value);
    layout->addLayout(buttons);

    connect(LMDButton1, &QPushButton::clicked, this, &TFnastaveni::LMDButton1Click);
    connect(LMDButton2, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFnastaveni::entryText() const {
    return PBval->textFromValue(PBval->value());
}

void TFnastaveni::LMDButton1Click() {
    // The dialog is shown by the configuration window's command: OK runs inside it.
    ui::ShowErrors(this, [this] { writeValue(); });
}

void TFnastaveni::writeValue() {
    ui::TextGrid& g = *table;
    const int row = EditedRow;
    const std::optional<qint64> raw = RawValue(entryText(), EditDecimals);
    if (!raw || !RawFits(*raw)) {
        // Its low 16 bits would be quite another value: nothing is sent.
        ui::ShowWarning(this, QStringLiteral("Hodnotu nelze zapsat: proměnná s %1 desetinnými "
                                             "místy může mít jen hodnoty %2.")
                                  .arg(EditDecimals)
                                  .arg(AllowedRangeText(EditDecimals)));
        return;
    }
    // The row as it was, for a write that fails.
    const QString wasValue = g.cell(ValueColumn, row);
    const QString wasPrevious = g.cell(PreviousColumn, row);
    const QString wasState = g.cell(StateColumn, row);
    const bool unchangedRow = g.integerAt(StateColumn, row).value_or(0) == Unchanged;
    if (unchangedRow)
        g.setCell(PreviousColumn, row, g.cell(ValueColumn, row));
    bool changed = false;
    if (EditDecimals == 0) {
        const qint64 entered = qint64(std::trunc(PBval->value()));
        const auto inTable = g.integerAt(ValueColumn, row);
        if (!inTable || entered != *inTable) {
            g.setInteger(ValueColumn, row, entered);
            changed = true;
        }
    } else {
        const double entered = PBval->value();
        const auto inTable = g.decimalAt(ValueColumn, row);
        if (!inTable || entered != *inTable) {
            g.setDecimal(ValueColumn, row, entered, 2);
            changed = true;
        }
    }
    if (changed)
        g.setInteger(StateColumn, row, Pending);
    g.repaintCells();
    const qint64 sent = !changed && unchangedRow && readRaw ? *readRaw : *raw;
    if (!m_client.writeSingle(reg::ConfigValueRegister(EditedVariable),
                              std::uint16_t(sent & 0xFFFF), link::DeviceClient::Password::None)) {
        // Nothing was written: the row must not claim a pending value.
        g.setCell(ValueColumn, row, wasValue);
        g.setCell(PreviousColumn, row, wasPrevious);
        g.setCell(StateColumn, row, wasState);
        g.repaintCells();
    }
    accept();
}

} // namespace zra::config
