// The baseline of the start-up benchmark: a minimal Qt Widgets program, one
// main window with a line of text, started and ended the same way as the
// tool's probe. The text matters: the first text shown loads the font
// database, which every program that shows text pays for once.
#include "bench/FirstPaint.h"

#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(789, 545); // the size of the tool's main window
    window.setCentralWidget(new QLabel(QStringLiteral("Ahoj"), &window));
    zra::bench::FirstPaint probe(&window);
    window.show();
    return app.exec();
}
