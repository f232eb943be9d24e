#include "ui/ViewWindow.h"

#include "link/DeviceLink.h"
#include "ui/UiServices.h"

#include <QAction>
#include <QToolBar>

namespace zra::ui {

ViewWindow::ViewWindow(const QString& objectName, const QString& caption, link::DeviceLink& link)
    : ToolWindow(objectName, caption), m_link(link) {}

void ViewWindow::TBXnactiClick() {
    RunCommand(this, [this] {
        BusyCursor busy;
        read();
    });
}

QToolBar* ViewWindow::addViewToolBar() {
    m_toolBar = AddViewToolBar(this, windowTitle());
    return m_toolBar;
}

void ViewWindow::addSouborMenu() {
    const SouborMenu soubor = AddSouborMenu(m_toolBar);
    souborButton = soubor.button;
    TBXotevri = soubor.TBXotevri;
    TBXuloz = soubor.TBXuloz;
}

void ViewWindow::addHistoryList(const char* objectName) {
    historie = AddHistoryList(m_toolBar, objectName);
}

void ViewWindow::addReadItem(const QString& text) {
    TBXnacti = m_toolBar->addAction(text);
    TBXnacti->setObjectName(QStringLiteral("TBXnacti"));
    connect(TBXnacti, &QAction::triggered, this, &ViewWindow::TBXnactiClick);
    connect(&m_link, &link::DeviceLink::connectionChanged, TBXnacti, &QAction::setEnabled);
    TBXnacti->setEnabled(m_link.connectedState());
}

} // namespace zra::ui
