#include "main/Startup.h"

#include "access/TFprihlaseni.h"
#include "link/TFext.h"
#include "main/TFmain.h"

namespace zra::main {

Windows::Windows() {
    Fmain = std::make_unique<TFmain>();
    Fprihlaseni = std::make_unique<access::TFprihlaseni>(Fmain->link, Fmain.get());
    Fext = std::make_unique<link::TFext>(Fmain->link);
    Fmain->attachLogin(Fprihlaseni.get());
    Fmain->attachConsole(Fext.get());
}

// The dialog is a child of the main window: it goes first.
Windows::~Windows() {
    Fext.reset();
    Fprihlaseni.reset();
    Fmain.reset();
}

} // namespace zra::main
