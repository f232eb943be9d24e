#pragma once
#include "ui/ToolWindow.h"

namespace zra::config {

// The configuration window. Its table and commands come with the configuration editor.
class TFkonfig : public ui::ToolWindow {
    Q_OBJECT
public:
    TFkonfig();
};

} // namespace zra::config
