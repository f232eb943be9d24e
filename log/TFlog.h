#pragma once
#include "ui/ToolWindow.h"

namespace zra::log {

// The event log window. Its table and read come with the event log view.
class TFlog : public ui::ToolWindow {
    Q_OBJECT
public:
    TFlog();
};

} // namespace zra::log
