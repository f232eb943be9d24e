#include "ui/ToolWindow.h"

namespace zra::ui {

ToolWindow::ToolWindow(const QString& objectName, const QString& caption, QWidget* parent)
    : QMainWindow(parent, Qt::Window) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCentralWidget(new QWidget(this));
}

ToolDialog::ToolDialog(const QString& objectName, const QString& caption, QWidget* parent)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(caption);
}

void ShowAndRaise(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace zra::ui
