#include "views/TFmoduly.h"

namespace zra::views {

TFmoduly::TFmoduly() : ToolWindow(QStringLiteral("Fmoduly"), QStringLiteral("Moduly")) {}

} // namespace zra::views
