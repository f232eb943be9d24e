#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The device views. Their tables and reads come with the views' own work;
// for now they exist, hidden, so that the window menu works from the start.
class TFmoduly : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFmoduly(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Fmoduly"), QStringLiteral("Moduly"), parent) {}
};

class TFfaze : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFfaze(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Ffaze"), QStringLiteral("Fáze"), parent) {}
};

class TFacgroup : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFacgroup(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Facgroup"), QStringLiteral("AC group"), parent) {}
};

class TFdcgroup : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFdcgroup(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Fdcgroup"), QStringLiteral("DC group"), parent) {}
};

// The module action dialog, opened by the modules table's "Edit" buttons.
class TFmodul_akce : public ui::ToolDialog {
    Q_OBJECT
public:
    explicit TFmodul_akce(QWidget* parent = nullptr)
        : ToolDialog(QStringLiteral("Fmodul_akce"), QStringLiteral("Modul"), parent) {}
};

} // namespace zra::views
