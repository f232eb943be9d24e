#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The phases window: one column per output phase. Its table and read come with the phases view.
class TFfaze : public ui::ToolWindow {
    Q_OBJECT
public:
    TFfaze();
};

} // namespace zra::views
