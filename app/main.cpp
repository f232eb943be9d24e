#include "app/Startup.h"
#include "insight/Extras.h"
#include "main/TFmain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zra::app::PrepareApplication(app);
    zra::app::Windows windows;
    // Compare, CSV export and live watching in every window.
    zra::insight::Extras extras(windows);
    windows.Fmain->show();
    return app.exec();
}
