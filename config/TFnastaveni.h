#pragma once
#include "ui/ToolWindow.h"

namespace zra::config {

// The variable edit dialog. Its fields come with the configuration editor.
class TFnastaveni : public ui::ToolDialog {
    Q_OBJECT
public:
    TFnastaveni();
};

} // namespace zra::config
