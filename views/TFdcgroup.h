#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The DC group window: one column per DC input group. Its table and read come with the group
// views.
class TFdcgroup : public ui::ToolWindow {
    Q_OBJECT
public:
    TFdcgroup();
};

} // namespace zra::views
