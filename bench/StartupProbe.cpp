// The program's start-up exactly as its main() does it, ended at the first
// paint of the main window (see FirstPaint.h). The one argument is the folder
// for the tool's own files, so that the probe reads no settings of a real run.
#include "app/Startup.h"
#include "bench/FirstPaint.h"
#include "insight/Extras.h"
#include "main/TFmain.h"
#include "store/ToolFiles.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1)
        zra::store::SetToolFileDirectory(QString::fromLocal8Bit(argv[1]));
    zra::app::PrepareApplication(app);
    zra::app::Windows windows;
    zra::insight::Extras extras(windows);
    zra::bench::FirstPaint probe(windows.Fmain.get());
    windows.Fmain->show();
    return app.exec();
}
