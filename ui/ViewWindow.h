#pragma once
#include "store/SnapshotFile.h"
#include "ui/ToolWindow.h"

#include <vector>

class QAction;
class QComboBox;
class QToolBar;
class QToolButton;

namespace zra::link {
class DeviceLink;
}

namespace zra::ui {

class TextGrid;

// A window that shows tables of the views table. It builds the standard
// toolbar parts ("Soubor" with "Otevři" and "Ulož", the history list, the
// read item enabled while connected), runs its read in a command with the
// busy cursor, and gives start-up, the snapshot commands and the extra items
// its parts through typed accessors.
class ViewWindow : public ToolWindow {
    Q_OBJECT
public:
    ViewWindow(const QString& objectName, const QString& caption, link::DeviceLink& link);

    // The tables the window shows, the one its "Soubor" acts on first.
    virtual std::vector<store::ViewKind> kinds() const = 0;
    virtual TextGrid* grid(store::ViewKind kind) const = 0;
    // The read without the command frame, so that "Načti vše" can chain
    // them; on return the link's ExchangeFailed tells whether it failed.
    virtual void read() = 0;
    // What the window does after a snapshot was loaded into its table.
    virtual void snapshotLoaded() {}

    QToolBar* toolBar() const { return m_toolBar; }
    QToolButton* souborButton = nullptr; // "Soubor"
    QAction* TBXotevri = nullptr;        // "Otevři"
    QAction* TBXuloz = nullptr;          // "Ulož"
    QComboBox* historie = nullptr;       // the snapshot history, hidden until filled
    QAction* TBXnacti = nullptr;         // the read

public slots:
    // "Načti": the read in a command, with the busy cursor.
    void TBXnactiClick();

protected:
    // The standard parts, in the order the window puts them on its toolbar.
    QToolBar* addViewToolBar();
    void addSouborMenu();
    void addHistoryList(const char* objectName = "historie");
    void addReadItem(const QString& text = QStringLiteral("Načti"));
    // A toolbar the window built itself (the main window's).
    void setToolBar(QToolBar* bar) { m_toolBar = bar; }

    link::DeviceLink& m_link;

private:
    QToolBar* m_toolBar = nullptr;
};

} // namespace zra::ui
