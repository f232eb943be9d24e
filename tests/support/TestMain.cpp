#include "store/ToolFiles.h"
#include "ui/Translation.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

// One QApplication for the whole test binary; widgets run offscreen. Qt's own
// texts are Czech, as in the tool.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!zra::ui::InstallCzechQtTranslation()) {
        fprintf(stderr, "Qt's Czech translation (qt6-translations-l10n) is not installed\n");
        return 1;
    }
    // The tool's own files (settings, filter) of a test run go to a folder of
    // its own, never beside the test program.
    QTemporaryDir toolFiles;
    zra::store::SetToolFileDirectory(toolFiles.path());
    // As the tool's start-up: the link's messages go through the UI services.
    zra::ui::InstallWindowReporter();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
