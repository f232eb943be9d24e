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
