#include "main/Startup.h"

#include "access/TFprihlaseni.h"
#include "config/TFkonfig.h"
#include "config/TFnastaveni.h"
#include "link/TFext.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "ui/UiServices.h"
#include "views/TFacgroup.h"
#include "views/TFdcgroup.h"
#include "views/TFfaze.h"
#include "views/TFmodul_akce.h"
#include "views/TFmoduly.h"

#include <QAction>
#include <QComboBox>

namespace zra::main {

Windows::Windows() {
    Fmain = std::make_unique<TFmain>(client, descriptions);
    // The modules window holds the module action dialog by reference for its
    // "Edit" buttons, so the dialog comes first.
    Fmodul_akce = std::make_unique<views::TFmodul_akce>(client);
    Fmoduly = std::make_unique<views::TFmoduly>(client, *Fmodul_akce);
    Ffaze = std::make_unique<views::TFfaze>(client);
    Fdcgroup = std::make_unique<views::TFdcgroup>(client);
    Facgroup = std::make_unique<views::TFacgroup>(client);
    // The configuration window holds its edit dialog by reference.
    Fnastaveni = std::make_unique<config::TFnastaveni>(client);
    Fkonfig = std::make_unique<config::TFkonfig>(client, *Fnastaveni);
    Flog = std::make_unique<log::TFlog>(client, descriptions);
    Fprihlaseni = std::make_unique<access::TFprihlaseni>(link);
    Fext = std::make_unique<link::TFext>(client);

    // The login dialog: at connect time when the installation asks for it,
    // and as the login prompt of write commands.
    link.loginDialog = [this] { ui::Ui().execDialog(Fprihlaseni.get()); };
    client.promptLogin = [this] { Fprihlaseni->PromptLogin(); };
    // After every login prompt the configuration's commit and cancel follow the login.
    QObject::connect(Fprihlaseni.get(), &access::TFprihlaseni::promptClosed, Fkonfig.get(),
                     &config::TFkonfig::applyLogin);
    // The console: the trace sink of every exchange, and the password text.
    QObject::connect(&link, &link::DeviceLink::trace, Fext.get(), &link::TFext::appendLine);
    link.passwordText = [this] { return Fext->passwordBytes(); };

    // "Načti vše": every view but the event log, in this order.
    Fmain->readAllSteps = {
        {QStringLiteral("Main"), [this] { Fmain->readMain(); }},
        {QStringLiteral("Moduly"), [this] { Fmoduly->readModuly(); }},
        {QStringLiteral("Konfigurace"), [this] { Fkonfig->readKonfig(); }},
        {QStringLiteral("Fáze"), [this] { Ffaze->readFaze(); }},
        {QStringLiteral("AC Group"), [this] { Facgroup->readAC(); }},
        {QStringLiteral("DC Group"), [this] { Fdcgroup->readDC(); }},
    };

    Fmain->attachWindow(Fmain->TBXItem1, Fmoduly.get());
    Fmain->attachWindow(Fmain->TBXItem6, Fkonfig.get());
    Fmain->attachWindow(Fmain->TBXItem3, Ffaze.get());
    Fmain->attachWindow(Fmain->TBXItem4, Facgroup.get());
    Fmain->attachWindow(Fmain->TBXItem5, Fdcgroup.get());
    Fmain->attachWindow(Fmain->TBXItem7, Flog.get());
    Fmain->attachWindow(Fmain->TBXItem13, Fext.get());
    wireSnapshots();
}

void Windows::wireSnapshots() {
    using store::ViewKind;
    // A window's "Otevři", "Ulož" and history pick act on its own table.
    const auto wire = [this](ViewKind kind, QAction* open, QAction* save, QComboBox* history) {
        QObject::connect(open, &QAction::triggered, [this, kind] { snapshots.open(kind); });
        QObject::connect(save, &QAction::triggered, [this, kind] { snapshots.save(kind); });
        QObject::connect(history, &QComboBox::activated,
                         [this, kind](int index) { snapshots.pick(kind, index); });
    };
    snapshots.registerView(ViewKind::Konfig, {Fkonfig->SG_konfig, Fkonfig.get(), Fkonfig->historie,
                                              [this] { Fkonfig->snapshotLoaded(); }});
    snapshots.registerView(ViewKind::Moduly, {Fmoduly->SG_mod, Fmoduly.get(), Fmoduly->historie,
                                              [this] { Fmoduly->snapshotLoaded(); }});
    snapshots.registerView(ViewKind::Faze, {Ffaze->SG_faze, Ffaze.get(), Ffaze->historie, {}});
    snapshots.registerView(ViewKind::AcGroup,
                           {Facgroup->SG_AC, Facgroup.get(), Facgroup->historie, {}});
    snapshots.registerView(ViewKind::DcGroup,
                           {Fdcgroup->SG_DC, Fdcgroup.get(), Fdcgroup->historie, {}});
    snapshots.registerView(ViewKind::Log, {Flog->SG_log, Flog.get(), Flog->TBXhistorie, {}});
    snapshots.registerView(ViewKind::Main, {Fmain->SG_main, Fmain.get(), Fmain->historie, {}});
    snapshots.registerView(ViewKind::Alarm, {Fmain->SG_alarm, Fmain.get(), nullptr, {}});
    wire(ViewKind::Konfig, Fkonfig->TBXotevri, Fkonfig->TBXuloz, Fkonfig->historie);
    wire(ViewKind::Moduly, Fmoduly->TBXotevri, Fmoduly->TBXuloz, Fmoduly->historie);
    wire(ViewKind::Faze, Ffaze->TBXotevri, Ffaze->TBXuloz, Ffaze->historie);
    wire(ViewKind::AcGroup, Facgroup->TBXotevri, Facgroup->TBXuloz, Facgroup->historie);
    wire(ViewKind::DcGroup, Fdcgroup->TBXotevri, Fdcgroup->TBXuloz, Fdcgroup->historie);
    wire(ViewKind::Log, Flog->TBXotevri, Flog->TBXuloz, Flog->TBXhistorie);
    QObject::connect(Fmain->TBXotevri, &QAction::triggered, [this] { snapshots.openMain(); });
    QObject::connect(Fmain->TBXotevrivse, &QAction::triggered, [this] { snapshots.openAll(); });
    QObject::connect(Fmain->TBXuloz, &QAction::triggered, [this] { snapshots.saveMain(); });
    QObject::connect(Fmain->TBXulozvse, &QAction::triggered, [this] { snapshots.saveAll(); });
    QObject::connect(Fmain->historie, &QComboBox::activated,
                     [this](int index) { snapshots.pickMain(index); });
}

// The windows go in the reverse order of their creation, before the link
// they use.
Windows::~Windows() {
    // The link outlives the windows: it keeps none of their fields.
    link.hostText = [] { return QString(); };
    link.unitIdValue = [] { return 1; };
    link.loginDialog = [] {};
    link.passwordText = [] { return QByteArray(link::DefaultPasswordText); };
    client.promptLogin = [] {};
    Fext.reset();
    Fprihlaseni.reset();
    Fmodul_akce.reset();
    Flog.reset();
    Fkonfig.reset();
    Fnastaveni.reset();
    Facgroup.reset();
    Fdcgroup.reset();
    Ffaze.reset();
    Fmoduly.reset();
    Fmain.reset();
}

} // namespace zra::main
