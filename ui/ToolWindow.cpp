#include "ui/ToolWindow.h"

#include <QComboBox>
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
    soubor.button = AddMenuButton(bar, "TBXSubmenuItem1", QStringLiteral("Soubor"), menu);
    return soubor;
}

QToolButton* AddMenuButton(QToolBar* bar, const char* objectName, const QString& text,
                           QMenu* menu) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(text);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(button);
    return button;
}

QComboBox* AddHistoryList(QToolBar* bar, const char* objectName) {
    auto* list = new QComboBox(bar);
    list->setObjectName(QString::fromLatin1(objectName));
    bar->addWidget(list)->setVisible(false);
    return list;
}

QToolBar* AddViewToolBar(QMainWindow* window, const QString& title) {
    QToolBar* bar = window->addToolBar(title);
    bar->setObjectName(QStringLiteral("TBToolbar1"));
    bar->setMovable(false);
    return bar;
}

void SetBackground(QWidget* widget, const QColor& color) {
    widget->setAutoFillBackground(true);
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, color);
    widget->setPalette(pal);
}

void SetToolbarWidgetVisible(QWidget* widget, bool visible) {
    if (auto* bar = qobject_cast<QToolBar*>(widget->parentWidget()))
        for (QAction* a : bar->actions())
            if (bar->widgetForAction(a) == widget) {
                a->setVisible(visible);
                return;
            }
    widget->setVisible(visible);
}

void ShowAndRaise(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace zra::ui
