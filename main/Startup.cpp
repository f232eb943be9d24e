#include "main/Startup.h"

#include "access/TFprihlaseni.h"
#include "config/ConfigWindows.h"
#include "link/TFext.h"
#include "log/TFlog.h"
#include "main/TFmain.h"
#include "views/ViewWindows.h"

namespace zra::main {

Windows::Windows() {
    Fmain = std::make_unique<TFmain>();
    Fmoduly = std::make_unique<views::TFmoduly>();
    Ffaze = std::make_unique<views::TFfaze>();
    Fdcgroup = std::make_unique<views::TFdcgroup>();
    Facgroup = std::make_unique<views::TFacgroup>();
    Fkonfig = std::make_unique<config::TFkonfig>();
    Flog = std::make_unique<log::TFlog>();
    Fnastaveni = std::make_unique<config::TFnastaveni>(Fmain.get());
    Fmodul_akce = std::make_unique<views::TFmodul_akce>(Fmain.get());
    Fprihlaseni = std::make_unique<access::TFprihlaseni>(Fmain->link, Fmain.get());
    Fext = std::make_unique<link::TFext>(Fmain->link);

    Fmain->attachLogin(Fprihlaseni.get());
    Fmain->attachConsole(Fext.get());
    Fmain->attachWindow(Fmain->TBXItem1, Fmoduly.get());
    Fmain->attachWindow(Fmain->TBXItem6, Fkonfig.get());
    Fmain->attachWindow(Fmain->TBXItem3, Ffaze.get());
    Fmain->attachWindow(Fmain->TBXItem4, Facgroup.get());
    Fmain->attachWindow(Fmain->TBXItem5, Fdcgroup.get());
    Fmain->attachWindow(Fmain->TBXItem7, Flog.get());
}

// Dialogs are children of the main window: they go before it.
Windows::~Windows() {
    Fext.reset();
    Fprihlaseni.reset();
    Fmodul_akce.reset();
    Fnastaveni.reset();
    Flog.reset();
    Fkonfig.reset();
    Facgroup.reset();
    Fdcgroup.reset();
    Ffaze.reset();
    Fmoduly.reset();
    Fmain.reset();
}

} // namespace zra::main
