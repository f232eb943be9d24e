#include "ui/ToolWindow.h"

namespace zra::ui {

ToolWindow::ToolWindow(const QString& objectName, const QString& caption, QWidget* parent)
    : QMainWindow(parent, Qt::Window) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCentralWidget(new QWidget(this));
}

void ToolWindow::showAndRaise() {
    show();
    raise();
    activateWindow();
}

} // namespace zra::ui
