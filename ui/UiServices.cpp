#include "ui/UiServices.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <exception>

namespace zra::ui {

namespace {
QtUiServices& realServices() {
    static QtUiServices services;
    return services;
}
UiServices* installed = nullptr;
bool commandRunning = false;
} // namespace

UiServices& Ui() {
    return installed ? *installed : realServices();
}

void InstallUi(UiServices* services) {
    installed = services;
}

void QtUiServices::showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

int QtUiServices::execDialog(QDialog* dialog) {
    return dialog->exec();
}

QString QtUiServices::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

void QtUiServices::pushBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiServices::popBusyCursor() {
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void QtUiServices::resetCursor() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

bool CommandRunning() {
    return commandRunning;
}

bool ShowErrors(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        Ui().resetCursor();
        Ui().showMessage(parent, QString::fromUtf8(e.what()));
        return false;
    }
}

bool RunCommand(QWidget* parent, const std::function<void()>& command) {
    if (commandRunning)
        return false;
    commandRunning = true;
    const bool ok = ShowErrors(parent, command);
    commandRunning = false;
    Ui().resetCursor();
    return ok;
}

} // namespace zra::ui
