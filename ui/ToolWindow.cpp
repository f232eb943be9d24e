#include "ui/ToolWindow.h"

#include <QMenu>
#include <QToolBar>
#include <QToolButton>

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

SouborMenu AddSouborMenu(QToolBar* bar) {
    auto* menu = new QMenu(bar);
    SouborMenu soubor;
    soubor.TBXotevri = menu->addAction(QStringLiteral("Otevři"));
    soubor.TBXotevri->setObjectName(QStringLiteral("TBXotevri"));
    soubor.TBXuloz = menu->addAction(QStringLiteral("Ulož"));
    soubor.TBXuloz->setObjectName(QStringLiteral("TBXuloz"));
    soubor.TBXotevri->setEnabled(false);
    soubor.TBXuloz->setEnabled(false);
    soubor.button = new QToolButton(bar);
    soubor.button->setObjectName(QStringLiteral("TBXSubmenuItem1"));
    soubor.button->setText(QStringLiteral("Soubor"));
    soubor.button->setMenu(menu);
    soubor.button->setPopupMode(QToolButton::InstantPopup);
    soubor.button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(soubor.button);
    return soubor;
}

QToolBar* AddViewToolBar(QMainWindow* window, const QString& title) {
    QToolBar* bar = window->addToolBar(title);
    bar->setObjectName(QStringLiteral("TBToolbar1"));
    bar->setMovable(false);
    return bar;
}

void ShowAndRaise(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace zra::ui
