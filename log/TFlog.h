#pragma once
#include "ui/ToolWindow.h"

namespace zra::log {

// The event log window; its table and read come with the event log work.
class TFlog : public ui::ToolWindow {
    Q_OBJECT
public:
    explicit TFlog(QWidget* parent = nullptr)
        : ToolWindow(QStringLiteral("Flog"), QStringLiteral("Event log"), parent) {}
};

} // namespace zra::log
