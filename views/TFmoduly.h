#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The modules window: one column per module. Its table and read come with the modules view.
class TFmoduly : public ui::ToolWindow {
    Q_OBJECT
public:
    TFmoduly();
};

} // namespace zra::views
