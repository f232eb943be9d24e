#pragma once
#include "ui/ToolWindow.h"
#include "views/ModuleDecode.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace zra::link {
class DeviceClient;
}
namespace zra::ui {
class TextGrid;
}

namespace zra::views {

// The module action dialog: a module's configured address, phase and input
// groups, and one-shot commands, opened by the modules table's "Edit"
// buttons. OK writes what differs from the table and what is ticked, each
// write after its own password write.
class TFmodul_akce : public ui::ToolDialog {
    Q_OBJECT
public:
    explicit TFmodul_akce(link::DeviceClient& client);

    QLabel* Lprom1;
    QSpinBox* PBhod1; // configured address
    QLabel* Lprom2;
    QSpinBox* PBhod2; // phase number
    QLabel* Lprom3;
    QSpinBox* PBhod3; // AC input group
    QLabel* Lprom4;
    QSpinBox* PBhod4; // DC input group
    QCheckBox* Lon;
    QCheckBox* Loff;
    QCheckBox* Lident;
    QCheckBox* Lfan;
    QCheckBox* Lerr;
    QPushButton* LMDButton1; // "OK"
    QPushButton* LMDButton2; // "Zruš"

    // The module being changed and the table its values are compared with,
    // set by the modules window before it shows the dialog.
    int module = 1;
    ui::TextGrid* table = nullptr;

    // The ticked command bits.
    int commandBits() const;
    // Module n's four placement values as the table holds them; throws, with
    // the message for the engineer, when a cell holds no whole number (after
    // a snapshot was loaded, say).
    static ModulePlacement placementInTable(const ui::TextGrid& table, int module);

public slots:
    void LMDButton1Click();
    void LonChange(bool ticked);
    void LoffChange(bool ticked);

private:
    void sendChanges();
    link::DeviceClient& m_client;
};

} // namespace zra::views
