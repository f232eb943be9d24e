#include "main/Startup.h"
#include "main/TFmain.h"
#include "ui/Translation.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelix4 ZRA"));
    zra::ui::InstallCzechQtTranslation();
    // Only the main window's close ends the program; the others only hide.
    app.setQuitOnLastWindowClosed(false);
    zra::main::Windows windows;
    windows.Fmain->show();
    return app.exec();
}
