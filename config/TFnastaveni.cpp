#include "config/TFnastaveni.h"

namespace zra::config {

TFnastaveni::TFnastaveni()
    : ToolDialog(QStringLiteral("Fnastaveni"), QStringLiteral("Změna proměnné")) {}

} // namespace zra::config
