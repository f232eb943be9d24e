#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The AC group window: one column per AC input group. Its table and read come with the group
// views.
class TFacgroup : public ui::ToolWindow {
    Q_OBJECT
public:
    TFacgroup();
};

} // namespace zra::views
