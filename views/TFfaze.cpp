#include "views/TFfaze.h"

namespace zra::views {

TFfaze::TFfaze() : ToolWindow(QStringLiteral("Ffaze"), QStringLiteral("Fáze")) {}

} // namespace zra::views
