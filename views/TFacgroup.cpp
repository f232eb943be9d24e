#include "views/TFacgroup.h"

namespace zra::views {

TFacgroup::TFacgroup() : ToolWindow(QStringLiteral("Facgroup"), QStringLiteral("AC group")) {}

} // namespace zra::views
