#pragma once
#include <QDialog>
#include <QMainWindow>

namespace zra::ui {

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
