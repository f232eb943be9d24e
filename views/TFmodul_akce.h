#pragma once
#include "ui/ToolWindow.h"

namespace zra::views {

// The module action dialog, opened by the modules table's "Edit" buttons. Its fields and writes
// come with the modules view.
class TFmodul_akce : public ui::ToolDialog {
    Q_OBJECT
public:
    TFmodul_akce();
};

} // namespace zra::views
