#pragma once
#include <QDialog>
#include <QMainWindow>

class QAction;
class QComboBox;
class QColor;
class QMenu;
class QToolBar;
class QToolButton;

namespace zra::ui {

// The "Soubor" submenu of a view's toolbar: "Otevři" and "Ulož", the
// snapshot commands (usable with or without a connection).
struct SouborMenu {
    QToolButton* button;
    QAction* TBXotevri;
    QAction* TBXuloz;
};
SouborMenu AddSouborMenu(QToolBar* bar);
// A toolbar button that opens a menu (the "Soubor", "Akce" and "Filtr" items).
QToolButton* AddMenuButton(QToolBar* bar, const char* objectName, const QString& text, QMenu* menu);
// A window's snapshot history list in its toolbar: hidden until a loaded
// file brings two entries.
QComboBox* AddHistoryList(QToolBar* bar, const char* objectName);
// A view's toolbar: one, not movable.
QToolBar* AddViewToolBar(QMainWindow* window, const QString& title);

// Fills a widget's background with a colour (the dialogs' pale green).
void SetBackground(QWidget* widget, const QColor& color);

// Shows or hides a widget placed in a toolbar (a toolbar shows its widgets
// through their actions).
void SetToolbarWidgetVisible(QWidget* widget, bool visible);

// Makes a window visible (non-modal) and brings it to the front.
void ShowAndRaise(QWidget* window);

// A non-modal window of the tool: exists for the whole run, closing it only
// hides it, showing it brings it to the front.
class ToolWindow : public QMainWindow {
    Q_OBJECT
public:
    ToolWindow(const QString& objectName, const QString& caption, QWidget* parent = nullptr);

public slots:
    void showAndRaise() { ShowAndRaise(this); }
};

// A modal dialog of the tool, created once at start-up.
class ToolDialog : public QDialog {
    Q_OBJECT
public:
    ToolDialog(const QString& objectName, const QString& caption, QWidget* parent = nullptr);
};

} // namespace zra::ui
