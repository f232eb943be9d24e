#include "views/TFmodul_akce.h"

namespace zra::views {

TFmodul_akce::TFmodul_akce()
    : ToolDialog(QStringLiteral("Fmodul_akce"), QStringLiteral("Změna modulu")) {}

} // namespace zra::views
