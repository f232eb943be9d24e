#include "insight/Extras.h"
#include "main/Startup.h"
#include "main/TFmain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zra::main::PrepareApplication(app);
    zra::main::Windows windows;
    // Compare, CSV export and live watching in every window.
    zra::insight::Extras extras(windows);
    windows.Fmain->show();
    return app.exec();
}
