#pragma once
#include "ui/ViewWindow.h"

#include <QTimer>
#include <cstdint>
#include <functional>

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
class AlarmDescriptions;
class DeviceClient;
class DeviceLink;
} // namespace zra::link

namespace zra::ui {
class TextGrid;
} // namespace zra::ui

namespace zra::main {

// The main window: the address and unit id that every request uses, the
// system values, alarms and clock, and every global command. Closing it ends
// the program.
class TFmain : public ui::ViewWindow {
    Q_OBJECT
public:
    TFmain(link::DeviceClient& client, link::AlarmDescriptions& descriptions);
    ~TFmain() override;

    std::vector<store::ViewKind> kinds() const override {
        return {store::ViewKind::Main, store::ViewKind::Alarm};
    }
    ui::TextGrid* grid(store::ViewKind kind) const override {
        return kind == store::ViewKind::Alarm ? SG_alarm : SG_main;
    }
    void read() override { readMain(); }

    // The window shown by a "Zobraz" item (or by the hidden "Ext").
    void attachWindow(QAction* item, ui::ToolWindow* window);
    // A "Zobraz" item after the documented ones, for a table the tool added.
    QAction* addViewItem(const QString& caption, ui::ToolWindow* window);

    // The address list of "Ip adr.": its entries and the one picked (-1 for
    // none); and entries read back from the settings, of which index is
    // picked (none when it lies outside them: the typed text then stays).
    QStringList addressEntries() const;
    int addressIndex() const;
    void restoreAddressEntries(const QStringList& entries, int index);

    link::DeviceClient& client;
    link::DeviceLink& link;

    // Toolbar ("Soubor", "Otevři", "Ulož", "historie" and the "Akce" menu's
    // "Načti" are the view window's).
    QAction* TBXotevrivse;
    QAction* TBXulozvse;
    QComboBox* TIP_adr;
    QSpinBox* spid;
    QToolButton* akceButton;
    QAction* TBXItem2; // Connect / Disconnect
    QAction* TBXnactivse;
    QAction* TBXvymazlog;
    QAction* TBXcisluj;
    QAction* TBXoff;
    QAction* TBXon;
    QToolButton* zobrazButton;
    QAction* TBXItem1;  // Moduly
    QAction* TBXItem6;  // Konfig
    QAction* TBXItem3;  // Fáze
    QAction* TBXItem4;  // AC group
    QAction* TBXItem5;  // DC group
    QAction* TBXItem7;  // Event LOG
    QAction* TBXItem13; // Ext, not in the toolbar: Ctrl+Shift+E
    // "Nástroje", after the documented items: the tool's own windows and
    // commands. Items are added to the menu from outside too.
    QToolButton* nastrojeButton;
    QMenu* nastrojeMenu;
    QAction* TBXzaznam; // "Záznam zápisů"

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

    // Status bar panels.
    QLabel* statusPanel0;
    QLabel* statusPanel1;
    QLabel* statusPanel2;

    // The items that follow the connected and disconnected states.
    QList<QAction*> stateItems() const;

    // The read of the system values, alarms and clock, without the command
    // frame around it (read-all runs it inside its own command).
    void readMain();

    // The reads that "Načti vše" runs in turn, each with the name that status
    // panel 2 shows while it runs ("Načítám : " and the name). Start-up lists
    // them, so that this window knows none of the others.
    struct ReadAllStep {
        QString name;
        std::function<void()> read;
    };
    QList<ReadAllStep> readAllSteps;
    // The steps in turn without the command frame, each named in panel 2
    // while it runs; stops after a failed one (which reported itself) and
    // keeps its name there. True when every step succeeded.
    bool readAll();

public slots:
    void TBXItem2Click();
    void TBXnactivseClick();
    void TBXvymazlogClick();
    void TBXcislujClick();
    void TBXoffClick();
    void TBXonClick();
    void bdateClick();
    void lsynClick();
    void Timer1Timer();
    // Acceptance of the address field's text (Enter, leaving the field, a pick
    // from the list). Returns false when the text was refused.
    bool TIP_adrAccept();

signals:
    // The window's closing was accepted; the program ends right after.
    void closeAccepted();

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

    link::AlarmDescriptions& m_descriptions;
    QString m_acceptedAddress;
};

} // namespace zra::main
