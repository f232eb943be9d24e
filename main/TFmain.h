#pragma once
#include "link/DeviceLink.h"

#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QSpinBox;
class QToolButton;

namespace zra::link {
class TFext;
}
namespace zra::access {
class TFprihlaseni;
}

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

    // Status bar panels.
    QLabel* statusPanel0;
    QLabel* statusPanel1;
    QLabel* statusPanel2;

    // The items that follow the connected and disconnected states.
    QList<QAction*> stateItems() const;

    link::TFext* console() const { return console_; }
    access::TFprihlaseni* login() const { return login_; }

public slots:
    void TBXItem2Click();
    void TBXItem13Click();
    // Acceptance of the address field's text (Enter, leaving the field, a pick
    // from the list). Returns false when the text was refused.
    bool TIP_adrAccept();

protected:
    // Closing the main window ends the program.
    void closeEvent(QCloseEvent* event) override;

private:
    void applyConnectedState();
    void applyDisconnectedState();
    void buildToolbar();
    void buildStatusBar();

    link::TFext* console_ = nullptr;
    access::TFprihlaseni* login_ = nullptr;
    QString acceptedAddress;
};

} // namespace zra::main
