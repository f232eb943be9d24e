#pragma once
#include "ui/ToolWindow.h"

namespace zra::config {

// The configuration window; its table and commands come with the
// configuration work.
class TFkonfig : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFkonfig(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Fkonfig"), QStringLiteral("Konfigurace"), parent) {}
};

// The variable edit dialog.
class TFnastaveni : public ui::ToolDialog {
    Q_OBJECT
public:
    explicit TFnastaveni(QWidget* parent = nullptr)
        : ToolDialog(QStringLiteral("Fnastaveni"), QStringLiteral("Změna proměnné"), parent) {}
};

} // namespace zra::config
