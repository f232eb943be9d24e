#pragma once
#include "ui/ToolWindow.h"

#include <optional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace zra::link {
class DeviceClient;
}
namespace zra::ui {
class TextGrid;
}

namespace zra::config {

// The variable edit dialog: the variable's name, the new value with its
// decimals and unit, "OK" and "Zruš". OK writes the value into the pending
// change set at once (no password write) and marks the row.
class TFnastaveni : public ui::ToolDialog {
    Q_OBJECT
public:
    explicit TFnastaveni(link::DeviceClient& client);

    QLabel* Lprom; // the name, centred in its box
    QDoubleSpinBox* PBval;
    QLabel* Label2;          // the unit
    QPushButton* LMDButton1; // "OK"
    QPushButton* LMDButton2; // "Zruš"

    // The edit context, set by the configuration window before it shows the
    // dialog.
    ui::TextGrid* table = nullptr;
    int EditedVariable = 0;
    int EditedRow = 0;
    int EditDecimals = 0;
    // The raw value the installation reported for the row at the read, while
    // the row is unchanged: an OK without a change writes it back exactly,
    // also when the table shows fewer decimals than the variable has.
    std::optional<int> readRaw;

    // The entry's value as text, with EditDecimals decimals.
    QString entryText() const;

public slots:
    void LMDButton1Click();

private:
    void writeValue();
    link::DeviceClient& m_client;
};

} // namespace zra::config
