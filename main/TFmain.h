#pragma once
#include "link/DeviceLink.h"

#include <QMainWindow>

#include "main/SystemDecode.h"

#include <QTimer>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTimeEdit;
class QToolButton;

namespace zra::link {
class TFext;
}
namespace zra::access {
class TFprihlaseni;
}

namespace zra::ui {
class TextGrid;
class ToolWindow;
} // namespace zra::ui

namespace zra::main {

// The main window: owns the device link and carries every global command.
class TFmain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFmain(QWidget* parent = nullptr);
    ~TFmain() override;

    // The windows created after the main window, wired in by start-up.
    void attachConsole(link::TFext* console);
    void attachLogin(access::TFprihlaseni* login);
    // The window shown by a "Zobraz" item.
    void attachWindow(QAction* item, ui::ToolWindow* window);

    link::DeviceLink link;

    // Toolbar.
    QToolButton* souborButton;
    QAction* TBXotevri;
    QAction* TBXotevrivse;
    QAction* TBXuloz;
    QAction* TBXulozvse;
    QComboBox* TIP_adr;
    QSpinBox* spid;
    QToolButton* akceButton;
    QAction* TBXItem2; // Connect / Disconnect
    QAction* TBXnacti;
    QAction* TBXnactivse;
    QAction* TBXvymazlog;
    QAction* TBXcisluj;
    QAction* TBXoff;
    QAction* TBXon;
    QToolButton* zobrazButton;
    QAction* TBXItem1; // Moduly
    QAction* TBXItem6; // Konfig
    QAction* TBXItem3; // Fáze
    QAction* TBXItem4; // AC group
    QAction* TBXItem5; // DC group
    QAction* TBXItem7; // Event LOG
    QComboBox* historie;
    QAction* TBXItem13; // Ext, not in the toolbar: Ctrl+Shift+E

    // System table, clock box, alarm table.
    QWidget* Panel_main;
    QSplitter* RxSplitter1;
    ui::TextGrid* SG_main;
    ui::TextGrid* SG_alarm;
    QDateEdit* dtdate;
    QTimeEdit* dttime;
    QCheckBox* llet;    // "Letní čas"
    QPushButton* bdate; // "Pošli"
    QCheckBox* lsyn;    // "Aktualizuj čas"
    QTimer Timer1;      // follows the PC clock while lsyn is ticked

    // The alarm description cache, shared with the event log.
    AlarmDescriptions descriptions;
    // Description of an alarm code, fetched when not known yet. False when the
    // exchange failed ("Chyba v komunikaci" has been shown).
    bool describeAlarm(int code, QString* text);

    // Status bar panels.
    QLabel* statusPanel0;
    QLabel* statusPanel1;
    QLabel* statusPanel2;

    // The items that follow the connected and disconnected states.
    QList<QAction*> stateItems() const;

    access::TFprihlaseni* login() const { return login_; }

    // The read of the system values, alarms and clock, without the command
    // frame around it (read-all runs it inside its own command).
    void readMain();

public slots:
    void TBXItem2Click();
    void TBXnactiClick();
    void TBXvymazlogClick();
    void TBXcislujClick();
    void TBXoffClick();
    void TBXonClick();
    void bdateClick();
    void lsynClick();
    void Timer1Timer();
    void TBXItem13Click();
    // Acceptance of the address field's text (Enter, leaving the field, a pick
    // from the list). Returns false when the text was refused.
    bool TIP_adrAccept();

protected:
    // Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    // Caption, status panels and enabled items of the connected or
    // disconnected state.
    void applyState(bool connected);
    void buildToolbar();
    void buildStatusBar();
    void buildCentralArea();
    // A system command: login if needed, password write, then the value
    // written to the system command register.
    void sendSystemCommand(std::uint16_t value);
    // Ensures a granted login; false when the user did not log in.
    bool ensureLogin();
    // One read request; false (after "Chyba v komunikaci") when it failed.
    bool read(std::uint16_t address, std::uint16_t quantity);

    link::TFext* console_ = nullptr;
    access::TFprihlaseni* login_ = nullptr;
    QString acceptedAddress;
};

} // namespace zra::main
