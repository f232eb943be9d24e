#pragma once
#include <QMainWindow>

namespace zra::ui {

// A non-modal window of the tool: exists for the whole run, closing it only
// hides it, showing it brings it to the front.
class ToolWindow : public QMainWindow {
    Q_OBJECT
public:
    ToolWindow(const QString& objectName, const QString& caption, QWidget* parent = nullptr);

public slots:
    void showAndRaise();
};

} // namespace zra::ui
